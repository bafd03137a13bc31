#!/usr/bin/python3
"""Reads a running program's accessibility tree as a screen reader does (AT-SPI).

    a11y_tree.py PID table        the first table: a line "row<TAB>cell 1<TAB>cell 2<TAB>
                                  description of cell 2" per row, then "selected<TAB>rows"
    a11y_tree.py PID focus        the object with the keyboard focus: "role<TAB>name"
    a11y_tree.py PID texts TITLE  the labels shown in the window named TITLE, one a line

Tabs, newlines and backslashes inside texts are written as \\t, \\n and \\\\.
Exits with 2 when the program is not in the tree, 3 when the asked object is not there.
"""
import sys

import pyatspi


def esc(text):
    return (text or "").replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


def children(acc):
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield child


def walk(acc):
    yield acc
    for child in children(acc):
        # Cells are reached through their table; an embedded web page is another program.
        if child.getRole() in (pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_EMBEDDED):
            continue
        yield from walk(child)


def application(pid):
    for app in children(pyatspi.Registry.getDesktop(0)):
        try:
            if app.get_process_id() == pid:
                return app
        except Exception:  # an application that went away meanwhile
            continue
    return None


def main():
    pid, what = int(sys.argv[1]), sys.argv[2]
    app = application(pid)
    if app is None:
        print("the program is not in the accessibility tree", file=sys.stderr)
        return 2
    if what == "table":
        for acc in walk(app):
            if acc.getRole() in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE):
                table = acc.queryTable()
                for row in range(table.nRows):
                    name = table.getAccessibleAt(row, 0)
                    status = table.getAccessibleAt(row, 1)
                    print("row\t%s\t%s\t%s" % (esc(name.name), esc(status.name), esc(status.description)))
                print("selected\t" + ",".join(str(r) for r in table.getSelectedRows()))
                return 0
    elif what == "focus":
        for acc in walk(app):
            if acc.getState().contains(pyatspi.STATE_FOCUSED):
                # A push button's role is named "push button" by older AT-SPI releases and
                # "button" by newer ones (Debian 13): the role itself is what counts.
                role = "push button" if acc.getRole() == pyatspi.ROLE_PUSH_BUTTON else acc.getRoleName()
                print("%s\t%s" % (role, esc(acc.name)))
                return 0
    elif what == "texts":
        for window in children(app):
            if window.name == sys.argv[3]:
                for acc in walk(window):
                    if acc.getRole() == pyatspi.ROLE_LABEL and acc.getState().contains(pyatspi.STATE_SHOWING):
                        print(esc(acc.name))
                return 0
    print("nothing of the kind in the program's tree", file=sys.stderr)
    return 3


if __name__ == "__main__":
    sys.exit(main())
