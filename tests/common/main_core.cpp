#include <QCoreApplication>
#include <QLocale>
#include <gtest/gtest.h>

#include "model/numbers.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    QLocale::setDefault(QLocale::c());  // number texts with "." whatever the machine's locale
    return RUN_ALL_TESTS();
}
