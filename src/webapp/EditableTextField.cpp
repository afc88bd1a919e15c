#include "webapp/EditableTextField.h"

namespace quillon {

bool EditableTextField::performKeyEquivalent(const KeyEquivalent& event,
                                             FieldEditor* editor) const {
  const bool commandAlone = (event.modifierFlags & flag::GestureModifiers) == flag::Command;
  if (!event.isKeyDown || !commandAlone || editor == nullptr ||
      !event.charactersIgnoringModifiers) {
    return inherited_(event);
  }
  const std::string& characters = *event.charactersIgnoringModifiers;
  if (characters == "v") {
    editor->paste();
    return true;
  }
  if (characters == "c") {
    editor->copy();
    return true;
  }
  if (characters == "x") {
    editor->cut();
    return true;
  }
  if (characters == "a") {
    editor->selectAll();
    return true;
  }
  if (characters == "z" && editor->canUndo()) {
    editor->undo();
    return true;
  }
  return inherited_(event);
}

} // namespace quillon
