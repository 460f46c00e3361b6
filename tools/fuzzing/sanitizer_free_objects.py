#!/usr/bin/env python3
"""Compiles the tools' own sources as a build without sanitizers would, and fails when an object
refers to a sanitizer's runtime: a build without a sanitizer has none to link against, so such a
tool would fail to link there. The compile commands are the build's own, less the sanitizer flags.

Usage: sanitizer_free_objects.py COMPILE_COMMANDS_JSON TOOLS_DIR
"""
import concurrent.futures
import json
import os
import shlex
import subprocess
import sys
import tempfile

RUNTIME_PREFIXES = ('__sanitizer_', '__asan_', '__ubsan_', '__tsan_', '__lsan_', '__msan_')


def without_sanitizers(arguments, output):
    kept = []
    skip_next = False
    for argument in arguments:
        if skip_next:
            skip_next = False
            continue
        if argument.startswith(('-fsanitize', '-fno-sanitize')):
            continue
        if argument == '-o':
            skip_next = True
            continue
        kept.append(argument)
    return kept + ['-o', output]


def main():
    commands_path, tools_dir = sys.argv[1], os.path.realpath(sys.argv[2])
    with open(commands_path, encoding='utf-8') as commands_file:
        commands = json.load(commands_file)
    tool_commands = [c for c in commands
                     if os.path.realpath(c['file']).startswith(tools_dir + os.sep)]
    if not tool_commands:
        print('no tool sources in %s' % commands_path)
        return 1
    def check(index, entry, scratch):
        arguments = entry.get('arguments') or shlex.split(entry['command'])
        output = os.path.join(scratch, '%d.o' % index)
        compiled = subprocess.run(without_sanitizers(arguments, output), cwd=entry['directory'],
                                  capture_output=True, text=True)
        if compiled.returncode != 0:
            return '%s does not compile:\n%s' % (entry['file'], compiled.stderr)
        undefined = subprocess.run(['nm', '-u', output], capture_output=True, text=True,
                                   check=True).stdout.split()
        runtime = sorted({s for s in undefined if s.startswith(RUNTIME_PREFIXES)})
        if runtime:
            return '%s refers to %s' % (entry['file'], ', '.join(runtime))
        return None

    with tempfile.TemporaryDirectory() as scratch:
        with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
            results = pool.map(lambda item: check(item[0], item[1], scratch),
                               enumerate(tool_commands))
            failures = [result for result in results if result]
    for failure in failures:
        print(failure)
    print('%d tool sources, %d failing' % (len(tool_commands), len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
