// The interface tests measure text in the app's own fonts.

#include <gtest/gtest.h>

#include "ui/Controls.h"

int main(int argc, char** argv) {
    ui::Font::registerFonts(BRIMVALE_APP_FONTS);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
