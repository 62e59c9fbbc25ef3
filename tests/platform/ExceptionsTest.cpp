#include "platform/Exceptions.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace fennick;

namespace {

struct SCauseText {
    CFileException::Cause cause;
    const char16_t* text;
};

class FileExceptionText : public testing::TestWithParam<SCauseText> {};

} // namespace

TEST_P(FileExceptionText, NamesThePath) {
    const CFileException e(GetParam().cause, u"C:\\maps\\roads.shp");
    EXPECT_EQ(e.Message(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCause, FileExceptionText,
    testing::Values(
        SCauseText{CFileException::fileNotFound, u"C:\\maps\\roads.shp was not found."},
        SCauseText{CFileException::badPath, u"C:\\maps\\roads.shp contains an incorrect path."},
        SCauseText{CFileException::tooManyOpenFiles,
                   u"Could not open C:\\maps\\roads.shp because there are too many open files."},
        SCauseText{CFileException::accessDenied, u"Access to C:\\maps\\roads.shp was denied."},
        SCauseText{CFileException::invalidFile,
                   u"An incorrect file handle was associated with C:\\maps\\roads.shp."},
        SCauseText{CFileException::removeCurrentDir,
                   u"Could not remove C:\\maps\\roads.shp because it is the current directory."},
        SCauseText{CFileException::directoryFull,
                   u"Could not create C:\\maps\\roads.shp because the directory is full."},
        SCauseText{CFileException::badSeek, u"Seek failed on C:\\maps\\roads.shp"},
        SCauseText{CFileException::hardIO,
                   u"Encountered a hardware I/O error while accessing C:\\maps\\roads.shp."},
        SCauseText{CFileException::sharingViolation,
                   u"Encountered a sharing violation while accessing C:\\maps\\roads.shp."},
        SCauseText{CFileException::lockViolation,
                   u"Encountered a locking violation while accessing C:\\maps\\roads.shp."},
        SCauseText{CFileException::diskFull, u"Disk full while accessing C:\\maps\\roads.shp."},
        SCauseText{CFileException::endOfFile, u"Attempted to access C:\\maps\\roads.shp past its end."},
        SCauseText{CFileException::genericException,
                   u"An unknown error occurred while accessing C:\\maps\\roads.shp."}));

TEST(Exceptions, OtherKindsGiveTheirTexts) {
    EXPECT_EQ(CArchiveException(CArchiveException::badIndex, u"/data/a.dbf").Message(), u"/data/a.dbf has a bad format.");
    EXPECT_EQ(CNotSupportedException().Message(), u"Attempted an unsupported operation.");
    EXPECT_EQ(CInvalidArgException().Message(), u"Encountered an improper argument.");
    EXPECT_EQ(CMemoryException().Message(), u"Out of memory.");
}

TEST(Exceptions, ErrnoMapsToTheCauseUsersUnderstand) {
    EXPECT_EQ(CFileException::CauseFromErrno(ENOENT), CFileException::fileNotFound);
    EXPECT_EQ(CFileException::CauseFromErrno(EACCES), CFileException::accessDenied);
    EXPECT_EQ(CFileException::CauseFromErrno(ENOSPC), CFileException::diskFull);
    EXPECT_EQ(CFileException::CauseFromErrno(EFBIG), CFileException::diskFull);
    EXPECT_EQ(CFileException::CauseFromErrno(EMFILE), CFileException::tooManyOpenFiles);
    EXPECT_EQ(CFileException::CauseFromErrno(EIO), CFileException::hardIO);
    EXPECT_EQ(CFileException::CauseFromErrno(EXDEV), CFileException::genericException);
}

TEST(Exceptions, GetErrorMessageTruncatesAndTerminates) {
    const CMemoryException e;
    char16_t buf[5] = {u'x', u'x', u'x', u'x', u'x'};
    unsigned help = 77;
    ASSERT_TRUE(e.GetErrorMessage(buf, 5, &help));
    EXPECT_EQ(std::u16string(buf), u"Out ");
    EXPECT_EQ(help, 77u);
    EXPECT_FALSE(e.GetErrorMessage(buf, 0));
}

TEST(Exceptions, SilentKindGivesNoMessage) {
    char16_t buf[8] = u"keep";
    EXPECT_FALSE(CUserException().GetErrorMessage(buf, 8));
    EXPECT_EQ(buf[0], u'\0');
}
