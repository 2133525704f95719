#!/usr/bin/python3
"""A whole game by the keyboard alone, followed as a screen reader follows it.

Run inside a D-Bus session of its own (dbus-run-session): starts Xvfb and
openbox, then the game with its accessibility always on, presses keys through
the accessibility bus (the X test extension behind it) and reads names, text
and the focus back from that bus. Usage: keyboard_walk.py <game executable>
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

SPACE, RETURN, TAB, ESCAPE, SHIFT_TAB = 0x20, 0xFF0D, 0xFF09, 0xFF1B, 0xFE20
focused = []      # (role, name) of every object that took the focus, in order
inserted = []     # (name of the object, text) of every text insertion


def pump(seconds=0.05):
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        while context.iteration(False):
            pass
        time.sleep(0.01)


def wait_for(what, test, seconds=20):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pump()
        result = test()
        if result:
            return result
    sys.exit(f"FAIL: {what}; last focus {focused[-1:]}, last text {inserted[-1:]}")


def press(keysym):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    pump(0.02)


def on_event(event):
    try:
        if event.type.startswith("object:state-changed:focused") and event.detail1:
            focused.append((event.source.getRoleName(), event.source.name))
        elif event.type.startswith("object:text-changed:insert"):
            inserted.append((event.source.name, event.any_data))
    except Exception:  # an object gone by the time it is read
        pass


def objects(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from objects(child)


def main():
    game = os.path.abspath(sys.argv[1])
    home = tempfile.mkdtemp(prefix="shashin-walk-")
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.PIPE)
    display = ":" + xvfb.stdout.readline().decode().strip()
    env = dict(os.environ, DISPLAY=display, HOME=home, XDG_DATA_HOME=home, XDG_CONFIG_HOME=home,
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb", SDL_AUDIODRIVER="dummy",
               LC_ALL="C.UTF-8")
    os.environ["DISPLAY"] = display
    # The bus starts the accessibility services on this display: they press the keys.
    subprocess.run(["dbus-update-activation-environment", "DISPLAY=" + display], check=True)
    children = [xvfb]
    try:
        children.append(subprocess.Popen(["openbox"], env=env, stderr=subprocess.DEVNULL))
        time.sleep(1)
        pyatspi.Registry.registerEventListener(on_event, "object:state-changed:focused",
                                               "object:text-changed:insert")
        children.append(subprocess.Popen([game], env=env))
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for("the game on the accessibility bus",
                       lambda: next((a for a in desktop if a is not None and a.name == "shashin"), None))
        window = wait_for("its window", lambda: next((w for w in app if w.name == "Form1"), None))

        def find(name, role=None):
            return next((o for o in objects(window) if o.name == name
                         and (role is None or o.getRoleName() == role)), None)

        def text_of(obj):
            t = obj.queryText()
            return t.getText(0, t.characterCount)

        def showing(obj):
            return obj.getState().contains(pyatspi.STATE_SHOWING)

        def has_focus(name):
            return lambda: focused and focused[-1][1] == name

        # The opening: the next-page button has the focus, the page can be read.
        wait_for("the opening's first page", lambda: any("深い谷" in t for _, t in inserted))
        wait_for("focus on 次へ for the opening", has_focus("次へ"))
        story = next(o for o in objects(window) if o.getRoleName() == "notification" and "深い谷" in text_of(o))
        press(RETURN)
        wait_for("the second page read out", lambda: "博士" in text_of(story))
        press(ESCAPE)  # skips the rest
        wait_for("the focus where Return costs nothing", has_focus("永遠アルバム"))
        money = wait_for("the money label", lambda: find("0円", "notification"))
        press(RETURN)
        pump(0.3)
        assert text_of(story) == "", "Return on the eternal album did something"
        # Hidden key lists are neither seen nor heard; the shown ones have names.
        lists = [o for o in objects(window) if o.getRoleName() == "list" and showing(o)]
        assert sorted(o.name for o in lists) == ["アルバム", "永遠アルバム"], [o.name for o in lists]
        assert find("場面") and find("移動") and find("カメラ"), "panels without names"

        press(TAB)
        wait_for("森 one Tab away", has_focus("森"))
        press(RETURN)
        wait_for("wandering said", lambda: text_of(story) == "移動したよ")
        wait_for("the money announced", lambda: text_of(money) == "0円"
                 or any(n == text_of(money) and t == n for n, t in inserted))
        for name in ("水", "土", "シャッター"):
            press(TAB)
            wait_for(f"Tab to {name}", has_focus(name))
        film = next(o for o in objects(window) if o.getRoleName() == "notification" and "枚／100枚" in text_of(o))
        for shot in range(1, 100):
            if shot == 30:  # 現像 on a photograph chosen in the album: no row said to take the focus
                for key, name in ((TAB, "アルバム"), (TAB, "現像"), (TAB, "判定"), (TAB, "送信"), (TAB, "アルバム"),
                                  (SPACE, None), (SHIFT_TAB, "送信"), (SHIFT_TAB, "判定"), (SHIFT_TAB, "現像")):
                    press(key)
                    name and wait_for(f"on to {name}", has_focus(name))
                hidden = [o.name for lst in objects(window) if lst.getRoleName() == "list" and not showing(lst)
                          for o in objects(lst) if o is not lst and showing(o)]
                assert hidden == [], f"rows of a hidden list on show: {hidden}"
                told = len(focused)
                press(RETURN)
                wait_for("developed", lambda: text_of(story) == "現像しておいたぞ")
                pump(0.3)
                assert focused[told:] == [], focused[told:]
                for name in ("アルバム", "シャッター"):
                    press(SHIFT_TAB)
                    wait_for(f"back to {name}", has_focus(name))
            press(SPACE)
            wait_for(f"shot {shot}", lambda: text_of(film) == f"{shot}枚／100枚")
        press(SPACE)  # the last one: an ending, whose pages Space turns
        wait_for("focus on 次へ for the ending", has_focus("次へ"))
        pages = [wait_for("the ending's first page", lambda: text_of(story))]
        while "深い谷" not in pages[-1]:  # paged through to the new game's opening
            press(SPACE)
            pages.append(wait_for("the next page, not the ending once more",
                                  lambda: text_of(story) not in ("", pages[-1]) and text_of(story)))
            assert pages[-1] != pages[0] and len(pages) < 80, "the ending started again"
        assert text_of(film) == "0枚／100枚", text_of(film)
        wait_for("the new game's opening", lambda: "深い谷" in text_of(story))
        wait_for("focus on 次へ in the new game", has_focus("次へ"))
        press(ESCAPE)
        wait_for("play again", has_focus("永遠アルバム"))
        print(f"keyboard walk: 100 shots, an ending of {len(pages) - 1} pages, {len(focused)} focus events")
    finally:
        for child in reversed(children):
            child.terminate()
            child.wait()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
