#include "platform/linux/LinuxAlerts.h"

#include "LiveSession.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace quillon {
namespace {

using ::testing::ElementsAre;

// What a user does to the dialog once it is on screen.
using Act = std::function<void(GtkWidget* dialog)>;

constexpr guint lookInterval = 20;
// A guard against a test that never answers, not a timing.
constexpr gint64 giveUpAfter = 10 * G_USEC_PER_SEC;

struct Search {
  GType type;
  std::vector<GtkWidget*> found;
};

// Internal children (the dialog's own boxes and buttons) included.
void collect(GtkWidget* widget, gpointer data) {
  auto& search = *static_cast<Search*>(data);
  if (G_TYPE_CHECK_INSTANCE_TYPE(widget, search.type)) {
    search.found.push_back(widget);
  }
  if (GTK_IS_CONTAINER(widget)) {
    gtk_container_forall(GTK_CONTAINER(widget), collect, data);
  }
}

std::vector<GtkWidget*> widgetsOf(GtkWidget* root, GType type) {
  Search search{type, {}};
  collect(root, &search);
  return search.found;
}

GtkWidget* button(GtkWidget* dialog, const std::string& label) {
  for (GtkWidget* candidate : widgetsOf(dialog, GTK_TYPE_BUTTON)) {
    const gchar* text = gtk_button_get_label(GTK_BUTTON(candidate));
    if (text != nullptr && label == text) {
      return candidate;
    }
  }
  return nullptr;
}

GtkWidget* shownDialog() {
  GtkWidget* shown = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* item = windows; item != nullptr; item = item->next) {
    auto* window = static_cast<GtkWidget*>(item->data);
    if (GTK_IS_DIALOG(window) && gtk_widget_get_mapped(window)) {
      shown = window;
    }
  }
  g_list_free(windows);
  return shown;
}

// A key press as the server would deliver it to the dialog: key bindings
// match on the hardware key code, so it is the keymap's own.
void press(GtkWidget* dialog, guint keyval) {
  GdkDisplay* display = gtk_widget_get_display(dialog);
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  ASSERT_TRUE(gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys,
                                                &count));
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(dialog)));
  event->key.keyval = keyval;
  event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
  event->key.time = GDK_CURRENT_TIME;
  gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
  g_free(keys);
  gtk_main_do_event(event);
  gdk_event_free(event);
}

// The entries from top to bottom.
std::vector<GtkWidget*> entriesOf(GtkWidget* dialog) {
  auto entries = widgetsOf(dialog, GTK_TYPE_ENTRY);
  std::sort(entries.begin(), entries.end(), [](GtkWidget* first, GtkWidget* second) {
    GtkAllocation firstBox;
    GtkAllocation secondBox;
    gtk_widget_get_allocation(first, &firstBox);
    gtk_widget_get_allocation(second, &secondBox);
    return firstBox.y < secondBox.y;
  });
  return entries;
}

class LinuxAlertsTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string whyNot;
    if (LiveSession::shared(whyNot) == nullptr) {
      GTEST_SKIP() << whyNot;
    }
  }

  // Runs the alert; once it is mapped, `act` plays the user.
  AlertResponse run(const AlertRequest& request, Act act) {
    struct Script {
      Act act;
      gint64 deadline;
      bool acted = false;
    } playing{std::move(act), g_get_monotonic_time() + giveUpAfter};
    const guint source = g_timeout_add(
        lookInterval,
        [](gpointer data) -> gboolean {
          auto& script = *static_cast<Script*>(data);
          GtkWidget* dialog = shownDialog();
          if (dialog == nullptr) {
            return G_SOURCE_CONTINUE;
          }
          if (!script.acted) {
            script.acted = true;
            script.act(dialog);
            return G_SOURCE_CONTINUE;
          }
          if (g_get_monotonic_time() > script.deadline) {
            ADD_FAILURE() << "the dialog was never answered";
            gtk_widget_destroy(dialog);
          }
          return G_SOURCE_CONTINUE;
        },
        &playing);
    const AlertResponse response = alerts_.runModal(request);
    g_source_remove(source);
    EXPECT_TRUE(playing.acted);
    EXPECT_EQ(shownDialog(), nullptr) << "the dialog is gone once answered";
    return response;
  }

  static AlertRequest webAppRequest() {
    AlertRequest request;
    request.messageText = "Create web app";
    request.informativeText = "Enter the address and the name of the app.";
    request.buttons = {"Create", "Cancel", "Help"};
    request.fields = {{.label = "URL:", .text = "https://mail.example.com", .placeholder = ""},
                      {.label = "Name:", .text = "", .placeholder = "App name"}};
    request.initialField = 1;
    return request;
  }

  LinuxAlerts alerts_;
};

TEST_F(LinuxAlertsTest, ThePressedButtonAndTheEditedFieldsAreTheAnswer) {
  const AlertResponse response = run(webAppRequest(), [](GtkWidget* dialog) {
    gchar* primary = nullptr;
    gchar* secondary = nullptr;
    g_object_get(dialog, "text", &primary, "secondary-text", &secondary, nullptr);
    EXPECT_STREQ(primary, "Create web app");
    EXPECT_STREQ(secondary, "Enter the address and the name of the app.");
    g_free(primary);
    g_free(secondary);

    const auto entries = entriesOf(dialog);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(dialog)), entries[1]);
    EXPECT_STREQ(gtk_entry_get_placeholder_text(GTK_ENTRY(entries[1])), "App name");
    GtkWidget* create = button(dialog, "Create");
    GtkWidget* help = button(dialog, "Help");
    ASSERT_NE(create, nullptr);
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(gtk_widget_has_default(create));
    GtkAllocation createBox;
    GtkAllocation helpBox;
    gtk_widget_get_allocation(create, &createBox);
    gtk_widget_get_allocation(help, &helpBox);
    EXPECT_GT(createBox.x, helpBox.x) << "the default button is at the right";

    gtk_entry_set_text(GTK_ENTRY(entries[1]), "Mail");
    gtk_button_clicked(GTK_BUTTON(button(dialog, "Cancel")));
  });
  EXPECT_EQ(response.button, 1u);
  EXPECT_THAT(response.fieldTexts, ElementsAre("https://mail.example.com", "Mail"));
}

TEST_F(LinuxAlertsTest, ReturnAnswersTheFirstButtonWhileEscapeAndClosingAnswerTheLast) {
  const auto pressKey = [](guint key) { return [key](GtkWidget* dialog) { press(dialog, key); }; };
  const AlertResponse returned = run(webAppRequest(), pressKey(GDK_KEY_Return));
  EXPECT_EQ(returned.button, 0u) << "Return in a field activates the default";
  EXPECT_THAT(returned.fieldTexts, ElementsAre("https://mail.example.com", ""));

  EXPECT_EQ(run(webAppRequest(), pressKey(GDK_KEY_Escape)).button, 2u);

  const AlertResponse closed = run(webAppRequest(), [](GtkWidget* dialog) {
    GdkEvent* close = gdk_event_new(GDK_DELETE);
    close->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(dialog)));
    gtk_main_do_event(close);
    gdk_event_free(close);
  });
  EXPECT_EQ(closed.button, 2u);
  EXPECT_EQ(closed.fieldTexts.size(), 2u);
}

TEST_F(LinuxAlertsTest, TextsAreShownLiterallyAndBrokenBytesDoNotStopTheAlert) {
  AlertRequest request;
  request.messageText = "100% done: %s%n";
  request.informativeText = std::string("Caf\xC3\xA9 \xFF\xFE");
  request.buttons = {"_Open"};
  const AlertResponse response = run(request, [](GtkWidget* dialog) {
    gchar* primary = nullptr;
    gchar* secondary = nullptr;
    g_object_get(dialog, "text", &primary, "secondary-text", &secondary, nullptr);
    EXPECT_STREQ(primary, "100% done: %s%n");
    EXPECT_TRUE(g_utf8_validate(secondary, -1, nullptr));
    EXPECT_TRUE(g_str_has_prefix(secondary, "Caf\xC3\xA9 "));
    g_free(primary);
    g_free(secondary);
    GtkWidget* open = button(dialog, "__Open");
    ASSERT_NE(open, nullptr);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(open)))), "_Open");
    gtk_button_clicked(GTK_BUTTON(open));
  });
  EXPECT_EQ(response.button, 0u);
  EXPECT_TRUE(response.fieldTexts.empty());
}

} // namespace
} // namespace quillon
