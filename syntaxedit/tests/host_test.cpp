// The syntax edit control as the design tool hosts it: a CSyntaxEdit from libglyphpad.so in a
// window of the platform runtime, driven only by its messages and exported members. The
// clipboard it copies to is the process's one clipboard, which the host reads directly.
#include "glyphpad_fixture.h"

using GlyphpadHost = GlyphpadTest;

TEST_F(GlyphpadHost, TextSetByMessageIsColouredAndReadBack) {
  SetContent("<P ALIGN=center>x<!-- c -->");
  EXPECT_EQ(Text(), "<P ALIGN=center>x<!-- c -->");
  EXPECT_EQ(Colours(), "BDKRRRRRBBBBBBBBKGGGGGGGGGG");
  Select(17, 17);
  Type("<B>");
  EXPECT_EQ(Text(), "<P ALIGN=center>x<B><!-- c -->");
  EXPECT_EQ(Colours().substr(16, 4), "KBDB");
}

TEST_F(GlyphpadHost, CopyGoesToTheProcessClipboardAndProtectionHolds) {
  SetContent("<P>keep</P>edit");
  edit.AddProtectRange(0, 11);
  Select(3, 7);
  ASSERT_TRUE(edit.HasSelection());
  edit.Copy();
  std::string clip;
  ASSERT_TRUE(halyard::user::Clipboard::GetText(clip));
  EXPECT_EQ(clip, "keep");
  Type("x");  // inside the protected range: refused
  EXPECT_EQ(Text(), "<P>keep</P>edit");
  Select(15, 15);
  Type("s");
  EXPECT_EQ(Text(), "<P>keep</P>edits");
}
