// A progress indicator: a bar or a spinner showing a value between a minimum and a maximum, or
// indeterminate progress.
#pragma once

#include "platform/appkit/ns_view.h"

enum NSProgressIndicatorStyle : long {
  NSProgressIndicatorStyleBar = 0,
  NSProgressIndicatorStyleSpinning = 1,
};

class NSProgressIndicator : public NSView {
 public:
  using NSView::NSView;

  NSProgressIndicatorStyle style() const { return style_; }
  void setStyle(NSProgressIndicatorStyle style) { style_ = style; }
  bool isIndeterminate() const { return indeterminate_; }
  void setIndeterminate(bool indeterminate) { indeterminate_ = indeterminate; }
  double minValue() const { return min_value_; }
  void setMinValue(double value) { min_value_ = value; }
  double maxValue() const { return max_value_; }
  void setMaxValue(double value) { max_value_ = value; }
  double doubleValue() const { return double_value_; }
  void setDoubleValue(double value) { double_value_ = value; }

 private:
  NSProgressIndicatorStyle style_ = NSProgressIndicatorStyleBar;
  bool indeterminate_ = true;
  double min_value_ = 0;
  double max_value_ = 100;
  double double_value_ = 0;
};
