// The site book's file: a missing one is an empty book, a bad site is set aside with its
// reason and kept as written, what the technician wrote by hand around the sites survives a
// save, and a file that is no site book is neither taken nor written over.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "SiteBook.h"
#include "support/TempDir.h"

namespace {

TEST(SiteBookTest, MissingFileIsAnEmptyBookAndSavingMakesItTheOwnersAlone) {
  // Faults caught: a missing book taken as an error (every first run refused), and a saved
  // book left readable by others though it may hold passwords.
  TTempDir dir;
  TSiteBook book(dir.File("sites.ini"));
  std::string why;
  ASSERT_TRUE(book.Load(why)) << why;
  EXPECT_TRUE(book.Sites().empty());
  EXPECT_EQ(book.Find("Shop", why), nullptr);
  TSite s;
  s.Name = "Shop";
  s.Password = "7392";
  ASSERT_TRUE(book.Save(s, why)) << why;
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("sites.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const TSite* found = book.Find("shop", why);  // letter case aside
  ASSERT_NE(found, nullptr) << why;
  EXPECT_EQ(found->Password, "7392");
}

TEST(SiteBookTest, ForeignLinesAndBadSitesStayAsWritten) {
  // Faults caught: a save that rewrites the file from the sites it understood (comments,
  // foreign keys and the damaged site lost), and a damaged site taken with a default value.
  TTempDir dir;
  const std::string before =
      "; sites of the north round\n"
      "[Hotel Adler]\nNote=Main street 1\nPort=/dev/ttyUSB0\nSpeed=9600\nContact=Mrs Berg\n"
      "[Dentist]\nSpeed=1234\nPort=COM2\n";
  dir.Write("sites.ini", before);
  TSiteBook book(dir.File("sites.ini"));
  std::string why;
  ASSERT_TRUE(book.Load(why)) << why;
  ASSERT_EQ(book.Sites().size(), 1u);
  EXPECT_EQ(book.Sites()[0].Speed, 9600);
  ASSERT_EQ(book.Damaged().size(), 1u);
  EXPECT_EQ(book.Find("Dentist", why), nullptr);
  EXPECT_NE(why.find("Speed '1234'"), std::string::npos) << why;

  TSite s = book.Sites()[0];
  s.Note = "Main street 3";
  ASSERT_TRUE(book.Save(s, why)) << why;
  const std::string after = dir.Read("sites.ini");
  for (const char* kept : {"; sites of the north round", "Contact=Mrs Berg", "[Dentist]",
                           "Speed=1234", "Note=Main street 3"})
    EXPECT_NE(after.find(kept), std::string::npos) << kept << " lost:\n" << after;
  EXPECT_EQ(after.find("Main street 1"), std::string::npos);
}

TEST(SiteBookTest, ABookThatCannotBeReadIsNotWrittenOver) {
  // Fault caught: a book too large (or a folder) read as empty, and the next save replacing
  // it with a single site.
  TTempDir dir;
  std::string big = "[Shop]\nPort=COM1\n";
  big += "; " + std::string(5 * 1024 * 1024, 'x') + "\n";
  dir.Write("sites.ini", big);
  TSiteBook book(dir.File("sites.ini"));
  std::string why;
  EXPECT_FALSE(book.Load(why));
  EXPECT_NE(why.find("larger than"), std::string::npos) << why;
  TSite s;
  s.Name = "Bakery";
  EXPECT_FALSE(book.Save(s, why));
  EXPECT_FALSE(book.Remove("Shop", why));
  EXPECT_EQ(dir.Read("sites.ini"), big);

  // Names that would leave the site's folder.
  EXPECT_FALSE(SiteNameProblem("../etc").empty());
  EXPECT_FALSE(SiteNameProblem("a/b").empty());
  EXPECT_FALSE(SiteNameProblem("").empty());
  EXPECT_TRUE(SiteNameProblem("Hotel Adler & Co.").empty());
}

}  // namespace
