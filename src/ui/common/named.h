#pragma once
// Controls keep the names of the form layout as object names, so tests and style sheets
// find them by name.

namespace corvelle {

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace corvelle
