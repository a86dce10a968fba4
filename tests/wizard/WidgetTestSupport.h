// The one application object of a widget test program (offscreen platform).
#pragma once

#include <QApplication>

namespace TESTS {

inline QApplication& WidgetApplication()
{
    static int argc = 1;
    static char name[] = "norvexsetup";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

}  // namespace TESTS
