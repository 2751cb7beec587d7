#include "app/demo_app.h"

int main(int argc, char** argv) {
  return veltra::app::CDemoApp().Run(argc, argv);
}
