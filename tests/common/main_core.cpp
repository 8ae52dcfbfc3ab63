#include <QCoreApplication>
#include <gtest/gtest.h>

#include "model/numbers.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const quenta::DecimalSeparator point(".");
    return RUN_ALL_TESTS();
}
