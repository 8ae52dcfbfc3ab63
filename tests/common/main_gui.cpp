#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

#include "model/numbers.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    QLocale::setDefault(QLocale::c());  // number texts with "." whatever the machine's locale
    return RUN_ALL_TESTS();
}
