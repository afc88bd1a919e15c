#include "platform/linux/LinuxAlerts.h"

#include <gtk/gtk.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

namespace {

constexpr const char* windowTitle = "Quillon";
// An alert must offer some way out.
constexpr const char* fallbackButton = "OK";
constexpr guint fieldSpacing = 6;
constexpr guint labelSpacing = 12;

// GTK takes UTF-8 only; text from elsewhere (a web page's title, a file
// name) is shown with its broken bytes replaced rather than not at all.
std::string validText(const std::string& text) {
  gchar* valid = g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size()));
  std::string result(valid);
  g_free(valid);
  return result;
}

// Button titles are taken literally: an underscore is not a mnemonic.
std::string literalButtonLabel(const std::string& title) {
  std::string label;
  for (const char character : validText(title)) {
    label += character;
    if (character == '_') {
      label += '_';
    }
  }
  return label;
}

// Held by a reference of its own, so that a dialog destroyed from outside
// while it runs is still a valid object until this lets go.
struct DialogDeleter {
  void operator()(GtkWidget* dialog) const {
    gtk_widget_destroy(dialog);
    g_object_unref(dialog);
  }
};
using DialogPointer = std::unique_ptr<GtkWidget, DialogDeleter>;

DialogPointer makeDialog(const AlertRequest& request) {
  // The texts go through "%s": they are never read as format strings.
  GtkWidget* dialog =
      gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s",
                             validText(request.messageText).c_str());
  if (!request.informativeText.empty()) {
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                             validText(request.informativeText).c_str());
  }
  gtk_window_set_title(GTK_WINDOW(dialog), windowTitle);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  return DialogPointer(GTK_WIDGET(g_object_ref_sink(dialog)));
}

void addButtons(GtkDialog* dialog, const std::vector<std::string>& titles) {
  if (titles.empty()) {
    gtk_dialog_add_button(dialog, fallbackButton, 0);
    gtk_dialog_set_default_response(dialog, 0);
    return;
  }
  // Right to left, so the default one ends at the right.
  for (std::size_t index = titles.size(); index-- > 0;) {
    gtk_dialog_add_button(dialog, literalButtonLabel(titles[index]).c_str(),
                          static_cast<gint>(index));
  }
  gtk_dialog_set_default_response(dialog, 0);
}

std::vector<GtkEntry*> addFields(GtkMessageDialog* dialog, const std::vector<AlertField>& fields) {
  std::vector<GtkEntry*> entries;
  if (fields.empty()) {
    return entries;
  }
  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), fieldSpacing);
  gtk_grid_set_column_spacing(GTK_GRID(grid), labelSpacing);
  for (std::size_t row = 0; row < fields.size(); ++row) {
    const AlertField& field = fields[row];
    GtkWidget* label = gtk_label_new(validText(field.label).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 1.0F);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), validText(field.text).c_str());
    gtk_entry_set_placeholder_text(GTK_ENTRY(entry), validText(field.placeholder).c_str());
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_widget_set_hexpand(entry, TRUE);
    if (field.fieldFrame.size.width > 0) {
      gtk_widget_set_size_request(entry, static_cast<gint>(field.fieldFrame.size.width), -1);
    }
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), entry);
    const auto top = static_cast<gint>(row);
    gtk_grid_attach(GTK_GRID(grid), label, 0, top, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), entry, 1, top, 1, 1);
    entries.push_back(GTK_ENTRY(entry));
  }
  gtk_box_pack_start(GTK_BOX(gtk_message_dialog_get_message_area(dialog)), grid, FALSE, FALSE,
                     fieldSpacing);
  gtk_widget_show_all(grid);
  return entries;
}

// Escape, the window's close button and a dialog destroyed from outside all
// answer with the last button.
std::size_t pressedButton(gint response, std::size_t buttonCount) {
  if (response >= 0 && static_cast<std::size_t>(response) < buttonCount) {
    return static_cast<std::size_t>(response);
  }
  return buttonCount == 0 ? 0 : buttonCount - 1;
}

struct FieldReading {
  std::vector<GtkEntry*> entries;
  std::optional<std::vector<std::string>> texts;
};

// Read as the answer comes, while the entries surely exist.
void readFields(GtkDialog*, gint, gpointer data) {
  auto& reading = *static_cast<FieldReading*>(data);
  std::vector<std::string> texts;
  for (GtkEntry* entry : reading.entries) {
    texts.emplace_back(gtk_entry_get_text(entry));
  }
  reading.texts = std::move(texts);
}

std::vector<std::string> originalTexts(const AlertRequest& request) {
  std::vector<std::string> texts;
  for (const AlertField& field : request.fields) {
    texts.push_back(field.text);
  }
  return texts;
}

} // namespace

AlertResponse LinuxAlerts::runModal(const AlertRequest& request) {
  const DialogPointer dialog = makeDialog(request);
  addButtons(GTK_DIALOG(dialog.get()), request.buttons);
  FieldReading reading{addFields(GTK_MESSAGE_DIALOG(dialog.get()), request.fields), std::nullopt};
  g_signal_connect(dialog.get(), "response", G_CALLBACK(readFields), &reading);
  // Focused before the dialog appears: a field focused first would keep its
  // text selected.
  if (request.initialField && *request.initialField < reading.entries.size()) {
    gtk_window_set_focus(GTK_WINDOW(dialog.get()),
                         GTK_WIDGET(reading.entries[*request.initialField]));
  }
  gtk_window_present(GTK_WINDOW(dialog.get()));
  const gint response = gtk_dialog_run(GTK_DIALOG(dialog.get()));
  g_signal_handlers_disconnect_by_data(dialog.get(), &reading);
  return AlertResponse{pressedButton(response, request.buttons.size()),
                       reading.texts.value_or(originalTexts(request))};
}

} // namespace quillon
