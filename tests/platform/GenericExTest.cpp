#include "platform/GenericEx.h"

#include <gtest/gtest.h>

using namespace fennick;

namespace {

std::u16string Raised(void (*raise)()) {
    try {
        raise();
    } catch (const CException& e) {
        return e.Message();
    }
    return u"<nothing raised>";
}

} // namespace

TEST(GenericEx, OneTextIsTheMessageUnchanged) {
    EXPECT_EQ(Raised([] { ThrowGenericError(u"Different shape types."); }), u"Different shape types.");
}

TEST(GenericEx, TwoTextsJoinWithColonBlankAndFullStop) {
    EXPECT_EQ(Raised([] { ThrowGenericError(u"Can't open file.", u"C:\\maps\\roads.shp"); }),
              u"Can't open file.: C:\\maps\\roads.shp.");
    // A first text that already ends in a full stop is not shortened.
    EXPECT_EQ(Raised([] { ThrowGenericError(u"/data/a.shp", u"Different shape types."); }),
              u"/data/a.shp: Different shape types..");
}

TEST(GenericEx, CaughtAsTheFamilyAndCutToTheCallersBuffer) {
    try {
        ThrowGenericError(u"Two or more files is required.");
    } catch (const CException& e) {
        char16_t buf[5];
        ASSERT_TRUE(e.GetErrorMessage(buf, 5));
        EXPECT_EQ(std::u16string(buf), u"Two ");
        char16_t big[520];
        ASSERT_TRUE(e.GetErrorMessage(big, 520));
        EXPECT_EQ(std::u16string(big), u"Two or more files is required.");
    }
}
