#include "webapp/EditableTextField.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillon {
namespace {

class RecordingEditor final : public FieldEditor {
public:
  void paste() override { done.push_back("paste"); }
  void copy() override { done.push_back("copy"); }
  void cut() override { done.push_back("cut"); }
  void selectAll() override { done.push_back("selectAll"); }
  bool canUndo() const override { return undoable; }
  void undo() override { done.push_back("undo"); }

  bool undoable = true;
  std::vector<std::string> done;
};

class EditableTextFieldTest : public ::testing::Test {
protected:
  bool press(std::string characters, EventFlags flags = flag::Command, bool editing = true) {
    return field.performKeyEquivalent({true, flags, std::move(characters)},
                                      editing ? &editor : nullptr);
  }

  RecordingEditor editor;
  int inheritedCalls = 0;
  EditableTextField field{[this](const KeyEquivalent&) {
    ++inheritedCalls;
    return false;
  }};
};

TEST_F(EditableTextFieldTest, CommandShortcutsReachTheEditor) {
  EXPECT_TRUE(press("v"));
  EXPECT_TRUE(press("c"));
  EXPECT_TRUE(press("x"));
  EXPECT_TRUE(press("a"));
  EXPECT_TRUE(press("z"));
  // Caps Lock does not change what Command+V means.
  EXPECT_TRUE(press("v", flag::Command | flag::CapsLock));
  EXPECT_EQ(editor.done,
            (std::vector<std::string>{"paste", "copy", "cut", "selectAll", "undo", "paste"}));
  EXPECT_EQ(inheritedCalls, 0);
}

TEST_F(EditableTextFieldTest, EverythingElseIsLeftToTheField) {
  EXPECT_FALSE(press("z", flag::Shift | flag::Command));
  EXPECT_FALSE(press("v", flag::Option | flag::Command));
  EXPECT_FALSE(press("q"));
  EXPECT_FALSE(press("v", flag::Command, false));
  editor.undoable = false;
  EXPECT_FALSE(press("z"));
  EXPECT_FALSE(field.performKeyEquivalent({false, flag::Command, "v"}, &editor));
  EXPECT_FALSE(field.performKeyEquivalent({true, flag::Command, std::nullopt}, &editor));
  EXPECT_TRUE(editor.done.empty());
  EXPECT_EQ(inheritedCalls, 7);
}

} // namespace
} // namespace quillon
