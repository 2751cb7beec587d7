#pragma once

namespace veltra::app {

// The single-instance name. It ends in one blank.
inline constexpr char kInstanceName[] = "TR7731 Configuration Tool ";

// The application object: lets one copy run, then runs the main window as a modal dialog.
class CDemoApp {
 public:
  // The process's exit status. A second copy ends at once with 0, silently.
  int Run(int argc, char** argv);
};

}  // namespace veltra::app
