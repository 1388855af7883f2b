#!/usr/bin/env python3
"""Keeps the include graph layered: reads every #include under src/ and tools/ and fails when

  - a source file lies outside src/core/<area>, src/gui/<area> and the entry src/app/main.cpp,
  - a file under src/ includes another without naming its library ("core/...", "gui/..."),
  - a core file (or a command-line program, which links the core alone) includes a gui file,
  - a gui file other than the main window's own includes the main window's folder,
  - folders include each other in a circle (A includes B and B, through any path, includes A).

Known violations are listed in layering-allowed.txt beside this script; the list may only
shrink: a listed violation that is gone fails too, so that its line is removed with the fix.

Usage: layering.py SOURCE_DIR
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
EXTENSIONS = ('.h', '.cpp')
MAIN_WINDOW = 'mainwindow'


def source_files(root):
    files = []
    for top in ('src', 'tools'):
        for directory, _, names in os.walk(os.path.join(root, top)):
            for name in names:
                if name.endswith(EXTENSIONS):
                    files.append(os.path.relpath(os.path.join(directory, name), root))
    return sorted(files)


def library_of(path):
    """'core', 'gui', 'tool' (links the core alone), 'entry' (src/app/main.cpp) or None for a
    file outside the layout."""
    parts = path.split(os.sep)
    if parts[0] == 'tools':
        return 'tool'
    if parts[1] in ('core', 'gui'):
        return parts[1]
    if path == os.path.join('src', 'app', 'main.cpp'):
        return 'entry'
    return None


def folder_of(path):
    parts = path.split(os.sep)
    if parts[0] == 'tools':
        return '/'.join(parts[:2])
    # src/core/<area>/... or src/gui/<area>/...
    if parts[1] in ('core', 'gui') and len(parts) > 3:
        return '/'.join(parts[1:3])
    return '/'.join(parts[1:-1])


def resolve(root, including, name, known):
    for candidate in (os.path.join(os.path.dirname(including), name), os.path.join('src', name)):
        candidate = os.path.normpath(candidate)
        if candidate in known:
            return candidate
    return None


def strongly_connected(graph):
    """Tarjan's algorithm; returns the components of more than one node."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for target in sorted(graph.get(node, ())):
            if target not in index:
                visit(target)
                low[node] = min(low[node], low[target])
            elif target in on_stack:
                low[node] = min(low[node], index[target])
        if low[node] == index[node]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def violations(root):
    files = source_files(root)
    known = set(files)
    found = set()
    graph = {}
    for path in files:
        with open(os.path.join(root, path), encoding='utf-8', errors='replace') as f:
            includes = INCLUDE.findall(f.read())
        library = library_of(path)
        folder = folder_of(path)
        if library is None:
            found.add('outside src/core, src/gui and src/app/main.cpp: %s' % path)
        for name in includes:
            target = resolve(root, path, name, known)
            if target is None:
                continue  # generated (ui_*.h, moc) or a system header in quotes
            target_library = library_of(target)
            if path.startswith('src') and not name.startswith(('core/', 'gui/')):
                found.add('include path does not name the library: %s -> "%s"' % (path, name))
            target_folder = folder_of(target)
            if library in ('core', 'tool') and target_library == 'gui':
                found.add('core includes gui: %s -> %s' % (path, target))
            own = folder.split('/')[-1] == MAIN_WINDOW or os.path.basename(path).startswith('CMainWindow')
            if library == 'gui' and target_folder.split('/')[-1] == MAIN_WINDOW and not own:
                found.add('main window included: %s -> %s' % (path, target))
            if target_folder != folder:
                graph.setdefault(folder, set()).add(target_folder)
    for component in strongly_connected(graph):
        found.add('folders in a circle: %s' % ' '.join(component))
    return found


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..'))
    allowed_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'layering-allowed.txt')
    allowed = set()
    if os.path.exists(allowed_path):
        with open(allowed_path, encoding='utf-8') as f:
            allowed = {line.strip() for line in f if line.strip() and not line.startswith('#')}
    found = violations(root)
    new = sorted(found - allowed)
    gone = sorted(allowed - found)
    for line in new:
        print('NEW: ' + line)
    for line in gone:
        print('GONE (remove it from layering-allowed.txt): ' + line)
    print('%d violations, %d of them allowed' % (len(found), len(found & allowed)))
    return 1 if new or gone else 0


if __name__ == '__main__':
    sys.exit(main())
