#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the running program through AT-SPI as a screen reader does: the read-outs' names
and values, the dial's value, the alarm's announcement, and no hidden control; then opens
the trend window through its menu item and reads its controls' names and the summary."""
import re
import sys
import time

import pyatspi
from gi.repository import GLib

DEADLINE = time.monotonic() + 60
events = []
problems = []
trend_asked = []


def walk(obj, depth=0):
    if obj is None or depth > 40:
        return
    yield obj
    for i in range(obj.childCount):
        yield from walk(obj.getChildAtIndex(i), depth + 1)


def program():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "VemoSWR":
            return app
    return None


def on_event(event):
    try:
        events.append((event.type, event.source.name, event.source.description,
                       event.source.getRole(), event.detail1))
    except Exception:  # the source may have gone
        pass


def check():
    app = program()
    if app is None:
        return time.monotonic() < DEADLINE or finish("the program never joined the bus")
    objects = list(walk(app))
    by_name = {}
    for o in objects:
        by_name.setdefault(o.name, o)
    dial = next((o for o in objects if o.getRole() == pyatspi.ROLE_DIAL), None)
    alarm = by_name.get("Alarm")
    ready = (dial is not None and dial.queryValue().currentValue > 0 and alarm is not None
             and alarm.description.startswith("Alarm active")
             and announced())
    if not ready:
        return time.monotonic() < DEADLINE or finish(report(objects, dial, alarm))
    if not trend_asked:
        problems.extend(report(objects, dial, alarm))
        item = next((o for o in objects if o.name == "Trend"
                     and o.getRole() in (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM)),
                    None)
        if item is None:
            return finish("no menu item Trend")
        item.queryAction().doAction(0)
        trend_asked.append(True)
        return True
    trend = next((o for o in app if o is not None and o.name == "Trend"), None)
    fields = {o.name: o for o in walk(trend)} if trend else {}
    if "Cursor read-out" not in fields or "W" not in text_of(fields.get("Forward minimum")):
        return time.monotonic() < DEADLINE or finish(report_trend(trend))
    return finish(report_trend(trend))


def text_of(o):
    return o.queryText().getText(0, -1) if o is not None else ""


def label_of(o):
    """The name a screen reader says: the object's own, or its label's (a combo box's)."""
    if o.getRole() != pyatspi.ROLE_COMBO_BOX:
        return o.name
    for relation in o.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return relation.getTarget(0).name
    return ""


def report_trend(trend):
    if trend is None:
        return ["the trend window did not open"]
    found = []
    objects = list(walk(trend))
    controls = [o for o in objects
                if o.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_PUSH_BUTTON,
                                   pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_COMBO_BOX,
                                   pyatspi.ROLE_CHECK_BOX)
                and o.getState().contains(pyatspi.STATE_SHOWING)]
    unnamed = [o.getRoleName() for o in controls if not label_of(o)]
    if unnamed:
        found.append("trend window: unnamed controls: %s" % unnamed)
    names = [label_of(o) for o in controls]
    for name in ["Forward minimum", "Reflected maximum", "VSWR mean", "Cursor read-out",
                 "Reset", "Span:"]:
        if name not in names:
            found.append("trend window: no control named %r among %s" % (name, names))
    fields = {o.name: o for o in objects}
    for name, unit in [("Forward minimum", " W"), ("VSWR mean", "")]:
        o = fields.get(name)
        if o is not None and (not text_of(o).endswith(unit) or text_of(o) in ("", "-")):
            found.append("trend window: %s reads %r" % (name, text_of(o)))
    return found


def announced():
    """A notification about the VSWR alarm showed: what a screen reader speaks at once."""
    return any(e[0] == "object:state-changed:showing" and e[3] == pyatspi.ROLE_NOTIFICATION
               and "VSWR" in e[1] for e in events)


def report(objects, dial, alarm):
    found = []
    names = [o.name for o in objects]
    for pattern in [r"Forward power, (kilo)?watts", r"Reflected power, (kilo)?watts", "VSWR",
                    "Return loss, decibels", "Reflection coefficient",
                    "Transmitted power, percent", "Forward power, dBm"]:
        matches = [o for o in objects if re.fullmatch(pattern, o.name or "")]
        if not matches:
            found.append("no read-out named %r" % pattern)
            continue
        o = matches[0]
        text = o.queryText().getText(0, -1).strip()
        states = o.getState()
        if not text:
            found.append("%s has no value" % o.name)
        # Qt also reports line edits as editable; "read only" is what a screen reader says.
        if pattern != "Forward power, dBm" and not states.contains(pyatspi.STATE_READ_ONLY):
            found.append("%s is not read-only: %s" % (o.name, [pyatspi.stateToString(x) for x in states.getStates()]))
    if dial is None:
        found.append("no dial")
    else:
        value = dial.queryValue()
        if not (300 <= value.currentValue <= value.maximumValue) or "watts" not in dial.description:
            found.append("dial: %s, %s of %s, %r" % (dial.name, value.currentValue,
                                                     value.maximumValue, dial.description))
        if dial.name != "Forward power meter":
            found.append("dial named %r" % dial.name)
    if alarm is None or not alarm.description.startswith("Alarm active"):
        found.append("alarm panel says %r" % (alarm.description if alarm else None))
    if not announced():
        found.append("no notification announced the alarm")
    for hidden in ["Button2", "Send Measurement", "Show diagnostic counters", "-", "+"]:
        if hidden in names:
            found.append("the hidden %r is in the tree" % hidden)
    unnamed = [o.getRoleName() for o in objects
               if o.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_PUSH_BUTTON,
                                  pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_DIAL) and not o.name]
    if unnamed:
        found.append("unnamed controls: %s" % unnamed)
    return found


def finish(found):
    problems.extend(found if isinstance(found, list) else [found])
    pyatspi.Registry.stop()
    return False


pyatspi.Registry.registerEventListener(on_event, "object")
GLib.timeout_add(250, check)
pyatspi.Registry.start()
for p in problems:
    print("accessibility:", p, file=sys.stderr)
if not problems:
    print("The main window and the trend window read as they should through AT-SPI.")
sys.exit(1 if problems else 0)
