#!/usr/bin/env python3
"""Writes the fuzzer's argument shapes: for each plug-in, the methods (or message-channel
operations) that its page under docs/protocol names, with the argument keys (or positions) each
takes and a guess of each value's kind, so that generated calls get past the plug-in's argument
checks. The pages are prose and tables written for people; only names that the plug-in's own
sources also spell are taken, which keeps the guesses honest.

A table with an "API" column names message-channel operations as "<API>.<operation>"; its
positional arguments may name objects of an API (`X`, sent as references), identifiers the Dart
side chooses for new objects (new `X`) and enumeration cases (by the enumeration's name, from
the page's table of tags), and its answer column gives what the operation answers. A table whose
name column is "Call" lists the host's calls to the Dart side and what the Dart side answers.

Usage: harvest_shapes.py PROTOCOL_DIR PLUGINS_DIR OUTPUT_CC
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harvest_vocabulary import words_of, write_if_changed  # noqa: E402

NAME = r'[A-Za-z_][A-Za-z0-9_]*'
QUOTED = re.compile(r'["`](' + NAME + r')["`]')
BRACES = re.compile(r'\{([^{}]*)\}')
BRACKETS = re.compile(r'\[([^\[\]]*)\]')
RECORD = re.compile(r'\b(1[2-4][0-9])\b[ ,*]*`?(' + NAME +
                    r')`?,?(?:\s+written\s+as\s+the\s+list)?\s*\[([^\]]*)\]')

KIND_WORDS = [
    ('boolean', re.compile(r'\b(bool|boolean|Boolean|true|false)\b')),
    ('bytes', re.compile(r'\b(typed data|bytes|Uint8List)\b')),
    ('number', re.compile(r'\b(double|number|numbers|doubles|seconds|scale)\b')),
    ('integer', re.compile(r'\b(int|int32|int64|integer|integers|ms|µs|index|milliseconds|bits)\b')),
    ('string', re.compile(r'\b(string|strings|text|path|URL|URI|uri|url)\b')),
    ('list', re.compile(r'(^\s*\[|\blist\b)')),
    ('map', re.compile(r'(^\s*\{|\bmap\b)')),
]


def kind_of(text, key):
    """The kind whose word comes first in `text`, else a guess from the key's name."""
    lowered = key.lower()
    if lowered in ('path', 'uri', 'url', 'sourcepath') or lowered.endswith('path'):
        return 'path'
    first = None
    for kind, pattern in KIND_WORDS:
        match = pattern.search(text)
        if match and (first is None or match.start() < first[0]):
            first = (match.start(), kind)
    if first:
        return first[1]
    if lowered.endswith('id') or lowered.endswith('identifier'):
        return 'identifier'
    if lowered in ('width', 'height', 'x', 'y', 'scale', 'volume', 'speed', 'position'):
        return 'number'
    return 'any'


def keyed_arguments(text, words):
    """The keys of `text` in order (quoted, or bare inside braces), each with its kind."""
    found = []
    for match in QUOTED.finditer(text):
        found.append((match.start(), match.end(), match.group(1)))
    for brace in BRACES.finditer(text):
        for match in re.finditer(r'(?:^|,)\s*(' + NAME + r')', brace.group(1)):
            start = brace.start(1) + match.start(1)
            found.append((start, start + len(match.group(1)), match.group(1)))
    found.sort()
    found = [entry for entry in found if entry[2] in words]
    arguments, seen = [], set()
    for index, (start, end, key) in enumerate(found):
        if key in seen:
            continue
        seen.add(key)
        following = found[index + 1][0] if index + 1 < len(found) else len(text)
        between = text[end:following]
        # In "a", "b" (integers) the kind written after the last key is the kind of each.
        trivial = re.fullmatch(r'[\s"`,/]*(and|or)?[\s"`,/]*', between) is not None
        arguments.append((key, None if trivial and index + 1 < len(found)
                          else kind_of(between, key)))
    for index in range(len(arguments) - 1, -1, -1):
        if arguments[index][1] is None:
            following = arguments[index + 1][1] if index + 1 < len(arguments) else 'any'
            arguments[index] = (arguments[index][0], following)
    return arguments


def typed_kind(element, apis, enums):
    """The kind of a positional element written in the typed words of a page with an API
    column; None when the element says nothing of them."""
    nullable = '?' if re.search(r'\bor null\b', element) else ''
    named = re.findall(r'`(' + NAME + r')`', element)
    new = re.search(r'\bnew `(' + NAME + r')`', element)
    if new and new.group(1) in apis:
        return 'new:' + new.group(1)
    if re.search(r'\bidentifier of any object\b', element):
        return 'id:*'
    listed = re.match(r'\s*list of `(' + NAME + r')`', element)
    if listed and listed.group(1) in enums:
        return 'enums:%d' % enums[listed.group(1)][0] + nullable
    if listed and listed.group(1) in apis:
        return 'objects:' + listed.group(1) + nullable
    mapped = re.match(r'\s*map of `(' + NAME + r')`', element)
    if mapped and mapped.group(1) in enums:
        return 'enummap:%d' % enums[mapped.group(1)][0] + nullable
    objects = [name for name in named if name in apis]
    if objects:
        return 'object:' + '|'.join(objects) + nullable
    cases = [name for name in named if name in enums]
    if cases:
        return 'enum:%d' % enums[cases[0]][0] + nullable
    if re.search(r'\bany object\b', element):
        return 'object:*' + nullable
    if re.search(r'\bmap of strings to strings\b', element):
        return 'stringmap' + nullable
    if re.search(r'\btyped bytes\b', element):
        return 'bytes' + nullable
    choices = re.findall(r'"([^"]*)"', element)
    if choices:
        return 'choice:' + '|'.join(choices) + nullable
    for words, kind in (('HTML', 'html'), ('JavaScript', 'script'), ('URL', 'url'),
                        ('(file|folder) path', 'path'), ('boolean', 'boolean'),
                        ('double|number', 'number'), ('integer', 'integer'),
                        ('string', 'string')):
        if re.search(r'\b(' + words + r')\b', element):
            return kind + nullable
    if re.fullmatch(r'\s*(null|nothing)\s*', element):
        return 'none'
    return None


def positional_arguments(text, records, apis=(), enums=None):
    arguments = []
    elements = top_level_items(text) if apis else [e.strip() for e in text.split(',') if e.strip()]
    for element in elements:
        kind = typed_kind(element, apis, enums or {}) if apis else None
        if kind is not None:
            arguments.append(('', kind))
            continue
        nullable = '?' if apis and re.search(r'\bor null\b', element) else ''
        name = element.split()[0].strip('`*')
        record = records.get(name) or next(
            (r for r in records if name.lower() == 'options' and r.endswith('Options')), None)
        if isinstance(record, str):
            record = records[record]
        if record is not None and not isinstance(record, str):
            arguments.append(('', 'record:%d' % record[0]))
        else:
            arguments.append(('', kind_of(element, name) + nullable))
    return arguments


def top_level_items(text):
    """The comma-separated items of `text`, commas inside braces, brackets or parentheses
    kept."""
    items, depth, current = [], 0, ''
    for c in text:
        depth += c in '{[('
        depth -= c in '}])'
        if c == ',' and depth == 0:
            items.append(current.strip())
            current = ''
        else:
            current += c
    if current.strip():
        items.append(current.strip())
    return items


def split_row(line):
    return [cell.strip() for cell in line.strip().strip('|').split('|')]


def table_row(header, cells, records, words, add, apis, enums):
    name_column = next((i for i, h in enumerate(header)
                        if h.startswith(('method', 'operation')) or h == 'call'), None)
    argument_column = next((i for i, h in enumerate(header)
                            if h.startswith(('argument', 'needs'))), None)
    api_column = header.index('api') if 'api' in header else None
    answer_column = next((i for i, h in enumerate(header)
                          if h.startswith('answer') or h.endswith('answers')), None)
    if name_column is None or name_column >= len(cells):
        return
    names = QUOTED.findall(cells[name_column]) or re.findall(NAME, cells[name_column])
    if api_column is not None and api_column < len(cells):
        # "<API>.<operation>"; a row for any API keeps the bare name.
        api = re.findall(r'`(' + NAME + r')`', cells[api_column])
        names = [api[0] + '.' + name for name in names] if api else names
    answer = ''
    if answer_column is not None and answer_column < len(cells):
        first = top_level_items(cells[answer_column].split(';')[0])
        answer = (typed_kind(first[0], apis, enums) or 'any') if first else ''
    callback = header[name_column] == 'call'
    argument_text = cells[argument_column] if argument_column is not None and \
        argument_column < len(cells) else ''
    bracket = BRACKETS.match(argument_text.strip())
    if bracket:
        form, arguments = 'positional', positional_arguments(
            bracket.group(1), records, apis if api_column is not None else (), enums)
    elif re.search(r'itself|whole argument', argument_text):
        form, arguments = 'whole', [('', kind_of(argument_text, ''))]
    elif re.search(r'a list whose', argument_text):
        form, arguments = 'positional', [('', 'any')]
    else:
        form, arguments = 'map', keyed_arguments(argument_text, words)
    for name in names:
        add(name, form, arguments, answer, callback)


def prose(line, records, words, add):
    """`name` [positions], `name` {keys}, "name" ("key", ...), "a" / "b" ("key")."""
    for match in re.finditer(r'[`"](' + NAME + r')[`"]\s*\[([^\]]*)\]', line):
        add(match.group(1), 'positional', positional_arguments(match.group(2), records))
    for match in re.finditer(r'`(' + NAME + r')`\s*(\{[^{}]*(?:\{[^{}]*\}[^{}]*)*\})', line):
        add(match.group(1), 'map', keyed_arguments(match.group(2), words))
    for match in re.finditer(r'((?:"' + NAME + r'"\s*(?:/|,|and)\s*)*"' + NAME +
                             r'")\s*\(([^()]*)\)', line):
        arguments = keyed_arguments(match.group(2), words)
        if not arguments:
            continue  # "name" (a remark), not a call
        for name in QUOTED.findall(match.group(1)):
            add(name, 'map', arguments)
    if re.search(r'\b(operations?|methods?)\b', line):
        for match in re.finditer(r'`(' + NAME + r')`', line):
            add(match.group(1), 'map', [])


def tables(text):
    """Each table row of `text` with its table's header (lowered)."""
    header = None
    for line in text.splitlines():
        if line.lstrip().startswith('|'):
            cells = split_row(line)
            if header is None:
                header = [c.lower() for c in cells]
            elif not all(re.fullmatch(r':?-+:?', c) for c in cells if c):
                yield header, cells
        else:
            header = None


def enumerations_of(text):
    """{name: (tag, number of cases)} from a table of tags, enumerations and cases."""
    enums = {}
    for header, cells in tables(text):
        if header[:3] != ['tag', 'enumeration', 'cases'] or len(cells) < 3:
            continue
        name = re.findall(r'`(' + NAME + r')`', cells[1])
        if name and cells[0].isdigit():
            enums[name[0]] = (int(cells[0]), len(top_level_items(cells[2])))
    return enums


def shapes_of_page(text, words, plugin):
    records = {}
    for match in RECORD.finditer(text):
        records[match.group(2)] = (int(match.group(1)), top_level_items(match.group(3)))
    enums = enumerations_of(text)
    apis = set()
    for header, cells in tables(text):
        if 'api' in header and header.index('api') < len(cells):
            apis.update(re.findall(r'`(' + NAME + r')`', cells[header.index('api')]))
    methods, callbacks = {}, {}

    def add(name, form, arguments, answer='', callback=False):
        known = all(part in words for part in name.split('.'))
        table = callbacks if callback else methods
        if not known or name in table or name == plugin:
            return
        table[name] = (form, arguments, answer)

    # Rows and prose in the order of the page: the first shape given for a name holds.
    header = None
    for line in text.splitlines():
        if line.lstrip().startswith('|'):
            cells = split_row(line)
            if header is None:
                header = [c.lower() for c in cells]
            elif not all(re.fullmatch(r':?-+:?', c) for c in cells if c):
                table_row(header, cells, records, words, add, apis, enums)
        else:
            header = None
        prose(line, records, words, add)
    return methods, callbacks, records, enums


def cc_string(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"') + '"'


def main():
    protocol_dir, plugins_dir, output = sys.argv[1], sys.argv[2], sys.argv[3]
    lines = ['// Generated by harvest_shapes.py from docs/protocol; do not edit.',
             '#include "tools/channel_fuzzer/shapes.h"', '', 'namespace channel_fuzzer {', '',
             'const std::vector<PluginShapes>& pluginShapes() {',
             '  static const auto* const shapes = new std::vector<PluginShapes>{']
    for page in sorted(os.listdir(protocol_dir)):
        plugin = page[:-3] if page.endswith('.md') else None
        plugin_dir = os.path.join(plugins_dir, plugin or '')
        if plugin is None or not os.path.isdir(plugin_dir):
            continue
        with open(os.path.join(protocol_dir, page), encoding='utf-8') as source:
            methods, callbacks, records, enums = shapes_of_page(
                source.read(), set(words_of(plugin_dir)), plugin)
        if not methods:
            continue
        lines.append('      {%s,' % cc_string(plugin))
        for table in (methods, callbacks):
            lines.append('       {')
            for name, (form, arguments, answer) in table.items():
                argument_text = ', '.join('{%s, %s}' % (cc_string(key), cc_string(kind))
                                          for key, kind in arguments)
                lines.append('           {%s, %s, {%s}, %s},' % (
                    cc_string(name), cc_string(form), argument_text, cc_string(answer)))
            lines.append('       },')
        lines.append('       {')
        for name, (tag, fields) in records.items():
            kinds = ', '.join(cc_string(kind_of(field, field.split()[0].strip('`*{[')))
                              for field in fields)
            lines.append('           {%s, %d, {%s}},' % (cc_string(name), tag, kinds))
        lines.append('       },')
        lines.append('       {')
        for name, (tag, cases) in enums.items():
            lines.append('           {%s, %d, %d},' % (cc_string(name), tag, cases))
        lines.append('       }},')
    lines += ['  };', '  return *shapes;', '}', '', '}  // namespace channel_fuzzer', '']
    write_if_changed(output, '\n'.join(lines))


if __name__ == '__main__':
    main()
