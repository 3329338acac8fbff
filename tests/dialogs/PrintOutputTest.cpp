// Where a print job goes when no printer is installed.

#include "dialogs/PrintOutput.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace tovrin {
namespace {

TEST(PrintOutputTest, ThePdfIsNamedAfterTheDocumentBesideItOrInTheHomeFolder) {
    const QString folder = QString::fromStdString(test::MakeTempDir("print"));
    EXPECT_EQ(DefaultPdfFile(folder + "/Повесть о книге.txt", "/home/reader"),
              folder + "/Повесть о книге.pdf");
    EXPECT_EQ(DefaultPdfFile(folder + "/book.fb2.zip", "/home/reader"), folder + "/book.fb2.pdf");
    // A folder that is gone, or a document without a file, prints into the home folder.
    EXPECT_EQ(DefaultPdfFile("/no/such/folder/t1.txt", "/home/reader"), "/home/reader/t1.pdf");
    EXPECT_EQ(DefaultPdfFile("", "/home/reader"), "/home/reader/Документ.pdf");
}

}  // namespace
}  // namespace tovrin
