#!/usr/bin/python3
"""The reader as a screen reader sees it, over AT-SPI: every button, both links and the view have
names and roles, the buttons and links have actions, and "&Read" pressed through AT-SPI starts a
reading (the program notes the sentence it hands to the voice, the view selects the line); "&Stop"
and "&Close" pressed the same way end it with exit code 0. With SOUND_LOG (sound_watch's output)
"&Stop" waits until sound has been heard.
  atspi_check.py QUILLON_READER WORK_DIR [SOUND_LOG]
Runs on the caller's display (X11 or Wayland) and session bus; every wait is bounded."""
import os
import subprocess
import sys
import time

import pyatspi

reader, work = sys.argv[1], sys.argv[2]
sound_log = sys.argv[3] if len(sys.argv) > 3 else None


def fail(message):
    print("atspi test: " + message, file=sys.stderr)
    for name in ("reader.log",):
        path = os.path.join(work, name)
        if os.path.exists(path):
            print(open(path).read()[-3000:], file=sys.stderr)
    if process.poll() is None:
        process.kill()
    sys.exit(1)


def wait_for(what, check, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            value = check()
        except Exception:  # the bus may answer before the program's tree is complete
            value = None
        if value:
            return value
        if process.poll() is not None:
            fail("the reader ended (code %s) while waiting for %s" % (process.returncode, what))
        time.sleep(0.1)
    fail("no " + what + " within %d s" % seconds)


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def find_app():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "quillon-reader":
            frames = [c for c in app if c is not None and "Vocalizer for" in (c.name or "")]
            if frames and frames[0].childCount > 0:
                return frames[0]
    return None


def actions_of(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return {}
    return {action.getName(i).lower(): i for i in range(action.nActions)}


def press(node):
    action = node.queryAction()
    action.doAction(actions_of(node)["press"])


log = os.path.join(work, "speech.log")
env = dict(os.environ, QUILLON_SPEECH_LOG=log, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
           QT_ACCESSIBILITY="1")
process = subprocess.Popen([reader], cwd=os.path.join(work, "run"), env=env,
                           stdout=open(os.path.join(work, "reader.log"), "w"),
                           stderr=subprocess.STDOUT)

frame = wait_for("reader window on the accessibility bus", find_app)
nodes = list(descendants(frame))
by_name = {}
for node in nodes:
    by_name.setdefault((node.getRole(), node.name), node)

buttons = ["Read", "Stop", "Set Bookmark", "Go To Bookmark", "Print Document", "Font Size +",
           "Close"]
links = ["Send me e-mail", "Download all of my novels"]
for name in buttons:
    node = by_name.get((pyatspi.ROLE_PUSH_BUTTON, name))
    if node is None:
        fail("no push button named %r" % name)
    if "press" not in actions_of(node):
        fail("the button %r has no press action: %s" % (name, actions_of(node)))
for name in links:
    node = by_name.get((pyatspi.ROLE_LINK, name))
    if node is None:
        fail("no link named %r" % name)
    if "press" not in actions_of(node):
        fail("the link %r has no press action" % name)
    if not node.getState().contains(pyatspi.STATE_FOCUSABLE):
        fail("the link %r cannot take the keyboard" % name)
view = next((n for n in nodes if n.getRole() == pyatspi.ROLE_TEXT and n.name), None)
if view is None:
    fail("no named text view")
if not view.getState().contains(pyatspi.STATE_FOCUSABLE):
    fail("the view cannot take the keyboard")
print("named: %d buttons, %d links, the view %r" % (len(buttons), len(links), view.name))

# "&Read" through AT-SPI: the voice is handed a sentence and the view selects the first line.
press(by_name[(pyatspi.ROLE_PUSH_BUTTON, "Read")])
wait_for("sentence handed to the voice",
         lambda: os.path.exists(log) and "speak" in open(log).read())
text = view.queryText()
selected = wait_for("selected line",
                    lambda: text.getNSelections() > 0 and
                    text.getText(*text.getSelection(0)).strip())
print("reading: the view selects %r" % selected)
if not selected.startswith("CHAPTER 1"):
    fail("the line being read is %r, not the first line" % selected)

if sound_log:
    wait_for("sound at the sink's monitor",
             lambda: os.path.exists(sound_log) and "loud" in open(sound_log).read())
    print("reading: sound heard at the sink's monitor")

press(by_name[(pyatspi.ROLE_PUSH_BUTTON, "Stop")])
press(by_name[(pyatspi.ROLE_PUSH_BUTTON, "Close")])
try:
    code = process.wait(timeout=60)
except subprocess.TimeoutExpired:
    fail("the reader did not end after Stop and Close")
if code != 0:
    fail("exit code %d" % code)
print("stopped and closed through AT-SPI: exit code 0")
