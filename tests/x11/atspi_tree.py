#!/usr/bin/python3
"""Prints what a screen reader is told about a running application, read from
the accessibility bus (AT-SPI) as Orca reads it.

    atspi_tree.py            exits 0 once the accessibility registry answers
    atspi_tree.py NAME       one line per node of the application NAME:
                             role, name, then key=value fields, tab-separated

Fields: description, label-for / labelled-by (the other node's name), key (an
action's key binding), text (the whole text, where the node has text), line
(the line at the text cursor) and the flag focused.
"""
import sys

import pyatspi

RELATIONS = {
    pyatspi.RELATION_LABEL_FOR: "label-for",
    pyatspi.RELATION_LABELLED_BY: "labelled-by",
}


def flat(text):
    return text.replace("\n", "\\n").replace("\t", "\\t")


def describe(node):
    fields = [node.getRoleName(), node.name or ""]
    if node.description:
        fields.append("description=" + node.description)
    for relation in node.getRelationSet():
        kind = RELATIONS.get(relation.getRelationType())
        for i in range(relation.getNTargets() if kind else 0):
            fields.append(f"{kind}={relation.getTarget(i).name}")
    try:
        action = node.queryAction()
        for i in range(action.nActions):
            if action.getKeyBinding(i):
                fields.append("key=" + action.getKeyBinding(i))
    except NotImplementedError:
        pass
    try:
        text = node.queryText()
        fields.append("text=" + text.getText(0, -1))
        if text.caretOffset >= 0:
            line = text.getTextAtOffset(text.caretOffset, pyatspi.TEXT_BOUNDARY_LINE_START)
            fields.append("line=" + line[0].rstrip("\n"))
    except NotImplementedError:
        pass
    if node.getState().contains(pyatspi.STATE_FOCUSED):
        fields.append("focused")
    return "\t".join(flat(f) for f in fields)


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    print(describe(node))
    for child in node:
        walk(child, depth + 1)


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    desktop.childCount  # asks the registry: fails until it answers
    if len(sys.argv) < 2:
        return 0
    for app in desktop:
        if app is not None and app.name == sys.argv[1]:
            for window in app:
                walk(window)
    return 0


if __name__ == "__main__":
    sys.exit(main())
