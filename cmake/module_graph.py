#!/usr/bin/env python3
"""The module graph, read from the build's own lists: every kes_module(<name> DEPS ...) call.

  module_graph.py ROOT --dot FILE   writes the graph in Graphviz form (what ARCHITECTURE.md shows)
  module_graph.py ROOT --check      checks the layout; exit status 1 on any finding:
    - a cycle among the DEPS lists (the configure step refuses those too);
    - an #include "folder/module/..." in a module's sources or tests naming a module outside
      the module's DEPS closure (the headers it reaches must be in the modules it links);
    - a source file directly inside a subsystem folder (every source belongs to a module);
    - docs/modules.dot differing from what --dot writes now.

The picture draws each module's direct dependencies less those already implied by another one
(the transitive reduction), coloured by subsystem folder, the lowest layers at the bottom.
"""
import os
import re
import subprocess
import sys

SUBSYSTEMS = ('runtime', 'numeric', 'data', 'files', 'wsl', 'services', 'platform')
# Folders inside a subsystem that hold sources but are no module.
NOT_MODULES = {'runtime/entry'}  # the shared library's own entry (see cmake/KesModule.cmake)
CALL = re.compile(r'kes_module\(\s*([A-Za-z0-9_]+)((?:[^()]|\([^()]*\))*)\)', re.S)
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
DOT_FILE = os.path.join('docs', 'modules.dot')


def tracked_files(root):
    """The checkout's files (git's list; the folders themselves outside a git checkout)."""
    out = subprocess.run(['git', '-C', root, 'ls-files', '--cached', '--others',
                          '--exclude-standard'], capture_output=True, text=True)
    if out.returncode == 0:
        return [path for path in out.stdout.split() if os.path.exists(os.path.join(root, path))]
    files = []
    for folder in SUBSYSTEMS + ('tests', 'include'):
        for directory, _, names in os.walk(os.path.join(root, folder)):
            files += [os.path.relpath(os.path.join(directory, name), root) for name in names]
    return sorted(files)


def read_modules(root, files):
    """{name: (folder, [deps])} from every module folder's CMakeLists.txt."""
    modules = {}
    for path in files:
        parts = path.split('/')
        if parts[-1] != 'CMakeLists.txt' or parts[0] not in SUBSYSTEMS:
            continue
        text = open(os.path.join(root, path), encoding='utf-8').read()
        text = re.sub(r'#[^\n]*', '', text)
        for name, arguments in CALL.findall(text):
            words = arguments.split()
            deps = []
            if 'DEPS' in words:
                for word in words[words.index('DEPS') + 1:]:
                    if word == 'LIBS':
                        break
                    deps.append(word)
            folder = os.path.dirname(path)
            known = modules.get(name)
            if known and known != (folder, sorted(set(deps))):
                sys.exit('%s: module %s is declared twice with different DEPS' % (path, name))
            modules[name] = (folder, sorted(set(deps)))
    return modules


def find_cycle(modules):
    state, path = {}, []

    def walk(name):
        state[name] = 'open'
        path.append(name)
        for dep in modules[name][1]:
            if dep not in modules:
                continue
            if state.get(dep) == 'open':
                return path[path.index(dep):] + [dep]
            if dep not in state:
                found = walk(dep)
                if found:
                    return found
        path.pop()
        state[name] = 'done'
        return None

    for name in sorted(modules):
        if name not in state:
            found = walk(name)
            if found:
                return found
    return None


def closure(modules, name):
    seen, todo = set(), list(modules[name][1])
    while todo:
        dep = todo.pop()
        if dep in seen or dep not in modules:
            continue
        seen.add(dep)
        todo.extend(modules[dep][1])
    return seen


def module_of_path(path, by_folder):
    """The module whose folder (or whose tests' mirror folder) holds `path`, else None."""
    if path.startswith('tests/'):
        path = path[len('tests/'):]
    folder = os.path.dirname(path)
    while folder:
        if folder in by_folder:
            return by_folder[folder]
        folder = os.path.dirname(folder)
    return None


def dot_text(modules):
    reduced = {}
    for name, (_, deps) in modules.items():
        implied = set()
        for dep in deps:
            if dep in modules:
                implied |= closure(modules, dep)
        reduced[name] = [d for d in deps if d in modules and d not in implied]
    lines = ['// The module graph of k55run, made by cmake/module_graph.py from the kes_module() calls.',
             '// An arrow points from a module to one it depends on; dependencies implied by',
             '// others are left out.',
             'digraph modules {',
             '  graph [rankdir=TB, fontname="Helvetica", fontsize=11, nodesep=0.25, ranksep=0.45];',
             '  node [shape=box, style="rounded,filled", fillcolor="#f4f4f4", fontname="Helvetica",'
             ' fontsize=10];',
             '  edge [color="#707070", arrowsize=0.6];']
    colours = {'platform': '#e8e8e8', 'runtime': '#dbe9f6', 'files': '#f6e3d0', 'numeric': '#e0f0dc',
               'data': '#f0e0f0', 'wsl': '#f6f0c8', 'services': '#e6e0f6'}
    for name in sorted(modules):
        folder = modules[name][0]
        lines.append('  "%s" [label="%s\\n%s/", fillcolor="%s"];'
                     % (name, name, folder, colours.get(folder.split('/')[0], '#f4f4f4')))
    for name in sorted(reduced):
        for dep in sorted(reduced[name]):
            lines.append('  "%s" -> "%s";' % (name, dep))
    lines.append('}')
    return '\n'.join(lines) + '\n'


def check(root, files, modules):
    findings = []
    cycle = find_cycle(modules)
    if cycle:
        findings.append('cycle: ' + ' -> '.join(cycle))
    for name, (folder, deps) in sorted(modules.items()):
        for dep in deps:
            if dep not in modules:
                findings.append('%s: DEPS names %s, which is no module' % (name, dep))
    by_folder = {folder: name for name, (folder, _) in modules.items()}
    for path in files:
        if not path.endswith(('.cpp', '.h')):
            continue
        parts = path.split('/')
        if parts[0] in SUBSYSTEMS and len(parts) == 2:
            findings.append('flat: %s is in no module folder' % path)
        if os.path.dirname(path) in NOT_MODULES:
            continue
        owner = module_of_path(path, by_folder)
        if owner is None:
            continue
        allowed = closure(modules, owner) | {owner}
        text = open(os.path.join(root, path), encoding='utf-8', errors='replace').read()
        for header in INCLUDE.findall(text):
            if header.startswith('tests/'):
                continue
            target = module_of_path(header, by_folder)
            if target is not None and target not in allowed:
                findings.append('%s includes %s of module %s, outside the DEPS of %s'
                                % (path, header, target, owner))
    committed = os.path.join(root, DOT_FILE)
    if not os.path.exists(committed) or open(committed, encoding='utf-8').read() != dot_text(modules):
        findings.append('%s is not what module_graph.py makes now: run cmake/make_module_graph.sh'
                        % DOT_FILE)
    for finding in findings:
        print(finding)
    print('modules: %d, findings: %d' % (len(modules), len(findings)))
    return 1 if findings else 0


def main(argv):
    if len(argv) < 3 or argv[2] not in ('--dot', '--check') or (argv[2] == '--dot' and len(argv) < 4):
        sys.exit(__doc__)
    root = argv[1]
    files = tracked_files(root)
    modules = read_modules(root, files)
    if argv[2] == '--dot':
        with open(argv[3], 'w', encoding='utf-8') as out:
            out.write(dot_text(modules))
        return 0
    return check(root, files, modules)


if __name__ == '__main__':
    sys.exit(main(sys.argv))
