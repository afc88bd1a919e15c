#!/usr/bin/python3
"""Another application for the clipboard tests, in GTK as many are.

entry OUT CLASS [--terminal]
    A window of that WM_CLASS holding one text entry. Its text is written to
    OUT after every change, and each Control+V chord it gets is added to
    OUT.keys. A terminal keeps plain Control+V for its programs and pastes
    with Control+Shift+V. OUT.ready holds the window's X id once it is shown.
offer TEXT OUT [--secret]
    Owns the clipboard with TEXT, marked as a password manager marks a
    secret when asked. OUT says "owner" once it holds the clipboard.
menu OUT PID
    Reads, as a screen reader does, the menu items the process PID shows on
    the accessibility bus and writes their names to OUT, one a line, once
    there are any (nothing is written within 10 s when there are none).
"""
import os
import sys
import time

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import Gdk, GdkX11, Gtk  # noqa: E402,F401

HINT = "x-kde-passwordManagerHint"
TEXT_TARGETS = ["UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "STRING", "TEXT"]


def write(path, text):
    """Whole or not at all, so a reader never sees half a text."""
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8") as stream:
        stream.write(text)
    os.replace(temporary, path)


def entry(out, wm_class, terminal):
    window = Gtk.Window(title="Quillon test entry")
    window.set_wmclass(wm_class.lower(), wm_class)
    window.set_default_size(420, 80)
    window.move(300, 300)
    field = Gtk.Entry()
    window.add(field)
    field.connect("changed", lambda widget: write(out, widget.get_text()))
    chords = []

    def key_pressed(_widget, event):
        control = bool(event.state & Gdk.ModifierType.CONTROL_MASK)
        shift = bool(event.state & Gdk.ModifierType.SHIFT_MASK)
        if not control or event.keyval not in (Gdk.KEY_v, Gdk.KEY_V):
            return False
        chords.append("ctrl+shift+v" if shift else "ctrl+v")
        write(out + ".keys", "\n".join(chords) + "\n")
        if not terminal:
            return False
        if shift:
            text = Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD).wait_for_text()
            field.set_text(field.get_text() + (text or ""))
        return True

    window.connect("key-press-event", key_pressed)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    write(out + ".ready", str(window.get_window().get_xid()))
    Gtk.main()


def offer(text, out, secret):
    owner = Gtk.Invisible()
    targets = TEXT_TARGETS + ([HINT] if secret else [])
    for info, target in enumerate(targets):
        Gtk.selection_add_target(owner, Gdk.SELECTION_CLIPBOARD, Gdk.Atom.intern(target, False), info)

    def serve(_widget, data, info, _time):
        if targets[info] == HINT:
            data.set(data.get_target(), 8, b"secret")
        else:
            data.set_text(text, -1)

    owner.connect("selection-get", serve)
    taken = Gtk.selection_owner_set(owner, Gdk.SELECTION_CLIPBOARD, Gdk.CURRENT_TIME)
    write(out, "owner" if taken else "refused")
    Gtk.main()


def shown_menu_items(pid):
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi  # pylint: disable=import-outside-toplevel

    desktop = Atspi.get_desktop(0)
    names = []
    for index in range(desktop.get_child_count()):
        application = desktop.get_child_at_index(index)
        if application is None or application.get_process_id() != pid:
            continue
        pending = [application]
        while pending:
            accessible = pending.pop()
            states = accessible.get_state_set()
            if accessible.get_role() == Atspi.Role.MENU_ITEM and states.contains(
                Atspi.StateType.SHOWING
            ):
                names.append(accessible.get_name())
            children = (accessible.get_child_at_index(i) for i in range(accessible.get_child_count()))
            # In the order they are shown: the stack takes the last first.
            pending.extend(reversed([child for child in children if child is not None]))
    return names


def menu(out, pid):
    for _ in range(100):
        names = shown_menu_items(pid)
        if names:
            write(out, "\n".join(names) + "\n")
            return
        time.sleep(0.1)


def main(arguments):
    if len(arguments) >= 3 and arguments[0] == "entry":
        entry(arguments[1], arguments[2], "--terminal" in arguments[3:])
    elif len(arguments) >= 3 and arguments[0] == "offer":
        offer(arguments[1], arguments[2], "--secret" in arguments[3:])
    elif len(arguments) == 3 and arguments[0] == "menu":
        menu(arguments[1], int(arguments[2]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
