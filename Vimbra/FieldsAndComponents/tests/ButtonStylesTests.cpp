// The declarative push-button styles' faces.
#include "Vimbra/FieldsAndComponents/ButtonStyles.hpp"

#include <gtest/gtest.h>

namespace {

TEST(ButtonStyles, RoundedFaceKeepsTheAskedSizeAndWeight) {
    for (const auto weight :
         {graphics::FontWeight::regular, graphics::FontWeight::medium, graphics::FontWeight::bold}) {
        const auto font = vimbra::roundedSystemFont(12, weight);
        ASSERT_NE(font, nullptr);
        EXPECT_DOUBLE_EQ(font->pointSize(), 12);
    }
}

} // namespace
