"""The running program through AT-SPI, as a screen reader meets it (run by check-accessibility)."""
import sys
import time

import pyatspi
from gi.repository import GLib


def wait_for(find, what, limit=20.0):
    deadline = time.time() + limit
    while time.time() < deadline:
        found = find()
        if found is not None:
            return found
        time.sleep(0.1)
    sys.exit(f"check-accessibility: {what} not found")


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "tovrin":
            return app
    return None


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def control(window, role, name):
    for node in descendants(window):
        if node.getRoleName() == role and node.name == name:
            return node
    return None


def top_windows(app, name_start):
    return [w for w in app if w is not None and w.name.startswith(name_start)]


def checked(node):
    return node.getState().contains(pyatspi.STATE_CHECKED)


def press(node):
    actions = node.queryAction()
    for i in range(actions.nActions):
        if actions.getName(i) in ("Press", "press", "Toggle", "toggle", "click"):
            actions.doAction(i)
            return
    actions.doAction(0)


app = wait_for(application, "the application tovrin")
main = wait_for(lambda: next(iter(top_windows(app, "Синтезатор речи")), None), "the main window")
# The deferred start-up opens one player window.
player = wait_for(lambda: next(iter(top_windows(app, "Плеер")), None), "the first player window")

# A player window is named by its caption with its document, and its status panels say what
# they show (the caret panel its line and column).
if not player.name.startswith("Плеер - "):
    sys.exit(f"check-accessibility: the player window is named {player.name!r}, not by its caption")
wait_for(lambda: next((n for n in descendants(player)
                       if n.getRoleName() == "label" and n.name.startswith("Строка:")), None),
         "the player's caret panel by its text")

# Controls that only hold stored values are not in the tree.
for holder in ("FormVisible", "TestRes", "BlockItem", "StyleWin", "StyleDos"):
    if any(node.name == holder for node in descendants(main)):
        sys.exit(f"check-accessibility: the value holder {holder!r} is in the accessible tree")

switches = {}
for name in ("Старт", "Плеер", "Шпион", "Пауза", "..."):
    switches[name] = wait_for(lambda n=name: control(main, "check box", n), f"switch {name!r}")
    if checked(switches[name]):
        sys.exit(f"check-accessibility: {name!r} is down at start")
new_client = wait_for(lambda: control(main, "push button", "Текст"), "button 'Текст'")

# Switching the engine on puts the switch down and renames it.
press(switches["Старт"])
wait_for(lambda: control(main, "check box", "Стоп"), "switch 'Стоп' after starting the engine")
if not checked(control(main, "check box", "Стоп")):
    sys.exit("check-accessibility: the run switch is not shown checked")

# A status panel's change is announced: reading in the player window (it holds no text yet)
# changes its message panel.
announced = []
pyatspi.Registry.registerEventListener(
    lambda event: announced.append(event.source_name),
    "object:property-change:accessible-name")
press(wait_for(lambda: control(player, "check box", "Читать"), "the player's button 'Читать'"))


def heard():
    GLib.MainContext.default().iteration(False)
    statuses = ("Чтение", "Обработка", "Текст прочитан")
    return next((name for name in announced if name.startswith(statuses)), None)


wait_for(heard, "an announced change of the player's status panel")

# The new-text button opens a second player window.
press(new_client)
wait_for(lambda: len(top_windows(app, "Плеер")) >= 2 or None, "a second player window")
print("check-accessibility: main window, switches and player windows seen")
