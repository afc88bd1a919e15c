#pragma once

#include "platform/EventFlags.h"

#include <functional>
#include <optional>
#include <string>

namespace quillon {

// What a text field's editor does for the Command shortcuts.
class FieldEditor {
public:
  virtual ~FieldEditor() = default;
  virtual void paste() = 0;
  virtual void copy() = 0;
  virtual void cut() = 0;
  virtual void selectAll() = 0;
  // False when the editor has no undo history or nothing to undo.
  virtual bool canUndo() const = 0;
  virtual void undo() = 0;
};

struct KeyEquivalent {
  bool isKeyDown = true;
  EventFlags modifierFlags = 0;
  std::optional<std::string> charactersIgnoringModifiers;
};

// A single-line field that keeps the standard Command editing shortcuts
// inside a modal alert, where no Edit menu delivers them.
class EditableTextField {
public:
  // What the field would do without this class.
  using Inherited = std::function<bool(const KeyEquivalent&)>;

  explicit EditableTextField(Inherited inherited) : inherited_(std::move(inherited)) {}

  // The editor is null while the field is not being edited.
  bool performKeyEquivalent(const KeyEquivalent& event, FieldEditor* editor) const;

private:
  Inherited inherited_;
};

} // namespace quillon
