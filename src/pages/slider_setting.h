#pragma once

#include <functional>
#include <utility>

namespace veltra::pages {

// While an EQ page positions its sliders itself, their intermediate positions are not gains:
// the page reads back the positions they end at once, when the outermost setting is done, as a
// redraw of the sliders would.
class SliderSetting {
 public:
  SliderSetting(int& depth, std::function<void()> done) : depth_(depth), done_(std::move(done)) {
    ++depth_;
  }
  ~SliderSetting() {
    if (--depth_ == 0) done_();
  }
  SliderSetting(const SliderSetting&) = delete;
  SliderSetting& operator=(const SliderSetting&) = delete;

 private:
  int& depth_;
  std::function<void()> done_;
};

}  // namespace veltra::pages
