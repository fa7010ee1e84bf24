#!/usr/bin/env python3
"""Checks the user guide in each of its languages (docs/guide.md,
docs/guide.ru.md) and the README against the built library, and the
languages against each other.

  check_guide.py MSXHOST LIBRARY SOURCE_DIR

Fails when a guide names a function, an argument, an argument kind or a
choice that the library does not describe (or leaves a function or an
argument out), when an ExtFml example calls a function that is not there or
with the wrong number of arguments, when an error text in its
troubleshooting table is not in the library, when the languages differ in
their sections (the English headings' anchors, which the Russian guide
gives each of its headings as <a id="...">), in any section's paragraphs,
lists, list items, code blocks, tables or commands, in error texts or charts, when
a chart differs from what scripts/guide-charts.sh draws from the bundled
data, or when the guide's Installing section and docs/INSTALL.txt (English,
then Russian) do not say the same thing: both must name the setup program
and the host's folder, each of the section's inline code names must be in
both halves of INSTALL.txt, and each package or file INSTALL.txt names must
be in the section.

It also runs every example of the README and of each guide as a user would,
in a scratch folder holding the bundled data/ and build/native/ (the tester,
with `msxhost` on the PATH): each command of a ```sh block that calls the
tester, expecting the exit status its comment gives ("# exit 2 ..."; 0 when
none), and each ExtFml formula over data/goog-daily.csv under a Russian
locale, with a copy of the library whose settings file lets the trading
functions write. A ```console block quotes commands ("$ " lines) with what
they print: each is run the same way and must exit 0 and print exactly the
quoted lines (none for a command followed by the next "$ " line), where a
line "..." stands for any lines left out. The languages must run the same
commands.
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Each language: its file, how it names the argument kinds, and the word
# between the first and last of a run of arguments ("A1[] to A7[]").
LANGUAGES = {
    "en": ("guide.md", {"series": "series", "numeric": "number", "string": "text", "custom": "choice"}, "to"),
    "ru": ("guide.ru.md", {"series": "ряд", "numeric": "число", "string": "текст", "custom": "выбор"}, "по"),
}


def describe(host, library):
    env = dict(os.environ, LC_ALL="ru_RU.UTF-8")  # all eleven functions
    out = subprocess.run([host, "describe", "--lib", library], env=env, check=True,
                         capture_output=True, text=True).stdout
    functions, current = {}, None
    for line in out.splitlines():
        m = re.match(r"\[\d+\] (\S+) - ", line)
        if m:
            current = functions.setdefault(m.group(1), [])
            continue
        m = re.match(r"\s+\d+ (series|numeric|string|custom)\s+(\S+)(.*)", line)
        if m and current is not None:
            choices = re.findall(r"(\S+)=\d+", m.group(3))
            current.append((m.group(2), m.group(1), choices))
    return functions


def sections(guide):
    """The text under each '#### `NAME`' heading, up to the next heading."""
    parts = re.split(r"^#{2,4} ", guide, flags=re.M)
    out = {}
    for part in parts:
        m = re.match(r"`([^`]+)`\n", part)
        if m:
            out[m.group(1)] = part[m.end():]
    return out


def slug(heading):
    """The anchor a Markdown renderer gives a heading."""
    text = re.sub(r"[^\w\- ]", "", heading.strip().lower())
    return text.replace(" ", "-")


def headings(guide):
    """(level, anchor, text) of every heading below the title: the anchor of
    an <a id="..."> on the line before, else the heading's own."""
    out, previous = [], ""
    for line in guide.splitlines():
        m = re.match(r"(#{2,4}) (.+)", line)
        if m:
            a = re.fullmatch(r'<a id="([^"]+)"></a>', previous.strip())
            out.append((len(m.group(1)), a.group(1) if a else slug(m.group(2)), m.group(2)))
        previous = line
    return out


def section_texts(guide):
    """(anchor, text) of every section below the title, as headings() names
    them: the lines up to the next heading, without the anchor lines."""
    out, previous = [], ""
    for line in guide.splitlines():
        m = re.match(r"(#{2,4}) (.+)", line)
        if m:
            a = re.fullmatch(r'<a id="([^"]+)"></a>', previous.strip())
            out.append((a.group(1) if a else slug(m.group(2)), []))
        elif out and not re.fullmatch(r'\s*<a id="[^"]+"></a>\s*', line):
            out[-1][1].append(line)
        previous = line
    return [(anchor, "\n".join(lines)) for anchor, lines in out]


LIST_ITEM = re.compile(r"(?:- |\d+\. )")


def blocks(text):
    """How many paragraphs, lists, list items, code blocks and tables a
    section's text has. Blocks are separated by blank lines; an indented
    block after a list item (a code block too) belongs to the item."""
    counts = dict.fromkeys(("paragraphs", "lists", "list items", "code blocks", "tables"), 0)
    lines, i, in_list = text.split("\n"), 0, False

    def starts_block(line):
        s = line.strip()
        return not s or s.startswith(("```", "|")) or LIST_ITEM.match(line)

    while i < len(lines):
        line, s = lines[i], lines[i].strip()
        if not s:
            i += 1
        elif s.startswith("```"):
            counts["code blocks"] += 1
            i += 1
            while i < len(lines) and not lines[i].strip().startswith("```"):
                i += 1
            i += 1
        elif s.startswith("|"):
            counts["tables"] += 1
            in_list = False
            while i < len(lines) and lines[i].strip().startswith("|"):
                i += 1
        else:
            if LIST_ITEM.match(line):
                counts["lists"] += not in_list
                counts["list items"] += 1
                in_list = True
            elif not (in_list and line.startswith(" ")):
                counts["paragraphs"] += 1
                in_list = False
            i += 1
            while i < len(lines) and not starts_block(lines[i]):
                i += 1
    return counts


def split_arguments(text):
    """The top-level arguments of a call's argument text."""
    args, depth, quoted, current = [], 0, False, ""
    for c in text:
        if c == '"':
            quoted = not quoted
        elif not quoted and c == "(":
            depth += 1
        elif not quoted and c == ")":
            depth -= 1
        if c == "," and depth == 0 and not quoted:
            args.append(current.strip())
            current = ""
        else:
            current += c
    if current.strip():
        args.append(current.strip())
    return args


def ext_calls(guide):
    """Every ExtFml("MSX_QMR.NAME", ...) in the guide: (name, argument count)."""
    calls = []
    for formula in ext_formulas(guide):
        name = re.match(r'ExtFml\("MSX_QMR\.(\w+)"', formula).group(1)
        calls.append((name, len(split_arguments(formula[len("ExtFml("):-1])) - 1))
    return calls


SETUP = "msx_qmr-1.8.0.11-setup.exe"
HOST_FOLDER = "External Function DLLs"
RUSSIAN_MARK = "--- По-русски ---"


def install_faults(guide, install):
    """The guide's Installing section against INSTALL.txt."""
    m = re.search(r"^## Installing\n(.*?)^## ", guide, flags=re.M | re.S)
    if not m:
        return ["the guide has no Installing section"]
    section = re.sub(r"\s+", " ", re.sub(r"^ *```.*?^ *```", "", m.group(1), flags=re.M | re.S))
    if RUSSIAN_MARK not in install:
        return [f"INSTALL.txt has no line {RUSSIAN_MARK!r} before its Russian half"]
    halves = [re.sub(r"\s+", " ", half) for half in install.split(RUSSIAN_MARK, 1)]
    faults = []
    for name in (SETUP, HOST_FOLDER):
        if name not in section:
            faults.append(f"the guide's Installing section does not name {name}")
        for language, half in zip(("English", "Russian"), halves):
            if name not in half:
                faults.append(f"INSTALL.txt ({language}) does not name {name}")
    for name in sorted(set(re.findall(r"`([^`]+)`", section))):
        for language, half in zip(("English", "Russian"), halves):
            if name not in half:
                faults.append(f"INSTALL.txt ({language}) does not name {name}, as the guide does")
    for name in sorted(set(re.findall(r"[\w.-]+\.(?:exe|dll|ini|zip|tar\.gz)\b", install))):
        if f"`{name}`" not in section:
            faults.append(f"the guide's Installing section does not name {name}, as INSTALL.txt does")
    return faults


def ext_formulas(text):
    """The full text of every ExtFml("MSX_QMR.NAME", ...) call in a text."""
    formulas = []
    for m in re.finditer(r'ExtFml\("MSX_QMR\.\w+"', text):
        i, depth, quoted = m.start() + len("ExtFml("), 1, False
        while i < len(text) and depth > 0:
            c = text[i]
            if c == '"':
                quoted = not quoted
            elif not quoted and c == "(":
                depth += 1
            elif not quoted and c == ")":
                depth -= 1
            i += 1
        formulas.append(text[m.start():i])
    return formulas


def strip_comment(line):
    """The line without a trailing '# comment' outside quotes, and the comment."""
    quote = None
    for i, c in enumerate(line):
        if quote:
            quote = None if c == quote else quote
        elif c in "'\"":
            quote = c
        elif c == "#" and (i == 0 or line[i - 1].isspace()):
            return line[:i].rstrip(), line[i + 1:]
    return line.rstrip(), ""


def shell_examples(text):
    """(command, expected exit status) for each command of the ```sh blocks
    that call the tester, in order; a command's comment may say "exit N"."""
    examples = []
    for block in re.findall(r"^```sh\n(.*?)^```", text, flags=re.M | re.S):
        if "msxhost" not in block:
            continue
        command, comments = "", ""
        for line in block.splitlines():
            code, comment = strip_comment(line)
            comments += " " + comment
            if code.endswith("\\"):
                command += code[:-1] + " "
                continue
            command += code
            if command.strip():
                m = re.search(r"\bexit (\d+)", comments)
                examples.append((command.strip(), int(m.group(1)) if m else 0))
            command, comments = "", ""
    return examples


def console_examples(text):
    """(command, printed lines) for each command of the ```console blocks: a
    line "$ COMMAND" (a trailing backslash continues it on the next line),
    then what it prints, up to the next "$ " line or the end of the block."""
    examples = []
    for block in re.findall(r"^```console\n(.*?)^```", text, flags=re.M | re.S):
        continued = False
        for line in block.splitlines():
            if continued:
                examples[-1][0] += " " + line.strip().removesuffix("\\").strip()
                continued = line.endswith("\\")
            elif line.startswith("$ "):
                examples.append([line[2:].removesuffix("\\").strip(), []])
                continued = line.endswith("\\")
            elif examples:
                examples[-1][1].append(line)
    return [(command, printed) for command, printed in examples]


def quoted_mismatch(printed, quoted):
    """None when the printed lines are what the quote shows (a line "..."
    standing for any lines), else the number of the quoted line that is not
    printed where it stands, and that line."""
    chunks, chunk, starts = [], [], [0]
    for i, line in enumerate(quoted):
        if line == "...":
            chunks.append(chunk)
            chunk = []
            starts.append(i + 1)
        else:
            chunk.append(line)
    chunks.append(chunk)
    at = 0
    for n, (chunk, start) in enumerate(zip(chunks, starts)):
        first, last = n == 0, n == len(chunks) - 1
        if first:
            found = at if printed[:len(chunk)] == chunk else None
        else:
            found = next((i for i in range(at, len(printed) - len(chunk) + 1)
                          if printed[i:i + len(chunk)] == chunk and
                          (not last or i + len(chunk) == len(printed))), None)
        if found is None or (first and last and len(printed) != len(chunk)):
            if first:  # the first line that differs
                k = next((k for k, (a, b) in enumerate(zip(printed, chunk)) if a != b),
                         min(len(printed), len(chunk)))
                return start + k + 1, chunk[k] if k < len(chunk) else "(the end)"
            return start + 1, chunk[0] if chunk else "(the end)"
        at = found + len(chunk)
    return None


def run_examples(host, library, source, texts):
    """Runs the examples of the texts; returns the faults."""
    faults = []
    with tempfile.TemporaryDirectory() as scratch:
        os.symlink(os.path.join(source, "data"), os.path.join(scratch, "data"))
        tools = os.path.join(scratch, "build", "native")
        os.makedirs(tools)
        # A copy of the tester loads the copy of the library beside it.
        shutil.copy(host, tools)
        shutil.copy(library, tools)
        env = dict(os.environ, LC_ALL="C", PATH=tools + os.pathsep + os.environ["PATH"])
        for name, text in texts:
            for command, status in shell_examples(text):
                done = subprocess.run(["bash", "-c", command], cwd=scratch, env=env,
                                      capture_output=True, text=True)
                if done.returncode != status:
                    faults.append(f"{name}: `{command}` exits {done.returncode}, not {status}: "
                                  f"{done.stderr.strip()}")
            for command, quoted in console_examples(text):
                done = subprocess.run(["bash", "-c", command], cwd=scratch, env=env,
                                      capture_output=True, text=True)
                printed = done.stdout.rstrip("\n").split("\n") if done.stdout else []
                if done.returncode != 0:
                    faults.append(f"{name}: `{command}` exits {done.returncode}: "
                                  f"{done.stderr.strip()}")
                elif mismatch := quoted_mismatch(printed, quoted):
                    faults.append(f"{name}: `{command}` does not print quoted line {mismatch[0]} "
                                  f"{mismatch[1]!r} where it stands; it prints:\n{done.stdout}")
        # The formulas, on a library of their own whose settings let TradeFile
        # and TradeQuik write into the scratch folder.
        lib = os.path.join(scratch, "formulas")
        os.makedirs(lib)
        shutil.copy(library, lib)
        with open(os.path.join(lib, "msx_qmr.ini"), "w") as ini:
            ini.write(f"[TradeFile]\nDirectory={lib}\n[TradeQuik]\nFile={lib}/orders.tri\n"
                      "[data\\GOOG-DAILY(D)]\nClassCode=TQBR\nSecCode=GOOG\n")
        env["LC_ALL"] = "ru_RU.UTF-8"  # all eleven functions
        for name, text in texts:
            for formula in ext_formulas(text):
                done = subprocess.run([host, "calc", formula, "--data", "data/goog-daily.csv", "--lib",
                                       os.path.join(lib, os.path.basename(library))],
                                      cwd=scratch, env=env, capture_output=True, text=True)
                if done.returncode != 0:
                    faults.append(f"{name}: {formula} fails: {done.stderr.strip()}")
    return faults


def check_functions(guide, functions, kinds, through):
    """Faults of one guide's function sections against the library."""
    faults = []
    found = sections(guide)
    for name in functions:
        if name not in found:
            faults.append(f"function {name} has no section")
    for name, text in found.items():
        if name not in functions:
            if re.match(r"\w+$", name) and name[0].isupper() and "\n- `" in text:
                faults.append(f"section for a function the library lacks: {name}")
            continue
        arguments = {a: (kinds[kind], choices) for a, kind, choices in functions[name]}
        listed = set()
        for bullet in re.findall(r"^- (`.+?)(?=^- |^$)", text, flags=re.M | re.S):
            m = re.match(rf"`([^`]+)`(?: {through} `([^`]+)`)? \((\w+)\)(.*)", bullet, flags=re.S)
            if not m:
                continue
            first, last, kind, rest = m.groups()
            names = [first]
            if last:
                a, b = re.match(r"(\D+)(\d)", first), re.match(r"(\D+)(\d)", last)
                tail = first[a.end():]
                names = [f"{a.group(1)}{i}{tail}" for i in range(int(a.group(2)), int(b.group(2)) + 1)]
            for arg in names:
                if arg not in arguments:
                    faults.append(f"{name}: no argument {arg}")
                    continue
                listed.add(arg)
                if arguments[arg][0] != kind:
                    faults.append(f"{name}: {arg} is a {arguments[arg][0]}, not a {kind}")
                if kind == kinds["custom"]:
                    for choice in re.findall(r"`(\w+)`", rest):
                        if choice not in arguments[arg][1]:
                            faults.append(f"{name}: {arg} has no choice {choice}")
        for arg in arguments:
            if arg not in listed:
                faults.append(f"{name}: argument {arg} is not described")

    for name, count in ext_calls(guide):
        if name not in functions:
            faults.append(f"ExtFml example calls {name}, which the library lacks")
        elif count != len(functions[name]):
            faults.append(f"ExtFml example of {name} has {count} arguments, not {len(functions[name])}")
    return faults


def error_texts(guide):
    """The error texts of the troubleshooting table, quoted "..." or, in
    Russian, «...»."""
    return [a or b for a, b in re.findall(r'^\| (?:"([^"]+)"|«([^»]+)») \|', guide, flags=re.M)]


def charts_of(guide):
    return sorted(set(re.findall(r"\(charts/([\w.-]+\.svg)\)", guide)))


def commands_of(guide):
    return [c for c, _ in shell_examples(guide) + console_examples(guide)]


def compare_languages(guides):
    """Faults where a language differs from the English guide."""
    faults = []
    english = guides["en"]
    for lang, guide in guides.items():
        if lang == "en":
            continue
        ours = [(level, anchor) for level, anchor, _ in headings(english)]
        theirs = [(level, anchor) for level, anchor, _ in headings(guide)]
        for level, anchor in ours:
            if (level, anchor) not in theirs:
                faults.append(f"{LANGUAGES[lang][0]} lacks the section #{anchor}")
        for level, anchor in theirs:
            if (level, anchor) not in ours:
                faults.append(f"{LANGUAGES[lang][0]} has the section #{anchor}, which guide.md lacks")
        if not faults and ours != theirs:
            faults.append(f"{LANGUAGES[lang][0]} orders its sections unlike guide.md")
        translated = dict(section_texts(guide))
        for anchor, text in section_texts(english):
            if anchor not in translated:
                continue
            ours_, theirs_ = blocks(text), blocks(translated[anchor])
            for what in ours_:
                if ours_[what] != theirs_[what]:
                    faults.append(f"{LANGUAGES[lang][0]}: section #{anchor} has {theirs_[what]} "
                                  f"{what}, guide.md {ours_[what]}")
            if sorted(commands_of(text)) != sorted(commands_of(translated[anchor])):
                faults.append(f"{LANGUAGES[lang][0]}: section #{anchor} runs other commands than "
                              f"guide.md's")
        for what, of in (("error texts", error_texts), ("charts", charts_of),
                         ("commands", commands_of)):
            if sorted(of(english)) != sorted(of(guide)):
                faults.append(f"{LANGUAGES[lang][0]} differs from guide.md in its {what}: "
                              f"{sorted(set(of(guide)) ^ set(of(english)))}")
    return faults


def main():
    host, library, source = (os.path.abspath(a) for a in sys.argv[1:4])
    readme = open(os.path.join(source, "README.md"), encoding="utf-8").read()
    functions = describe(host, library)
    binary = open(library, "rb").read()
    # The compiler may build a short text of a message out of immediate
    # values, so a piece found in the library's string literals counts too.
    literals = set()
    for path in glob.glob(os.path.join(source, "src", "**", "*.[ch]*"), recursive=True):
        literals.update(re.findall(r'"((?:[^"\\\n]|\\.)*)"', open(path, encoding="utf-8").read()))
    guides, faults = {}, []
    for lang, (file, kinds, through) in LANGUAGES.items():
        guide = open(os.path.join(source, "docs", file), encoding="utf-8").read()
        guides[lang] = guide
        faults += [f"{file}: {f}" for f in check_functions(guide, functions, kinds, through)]
        for text in error_texts(guide):
            for piece in text.split("…"):
                if piece and piece.encode() not in binary and not any(piece in t for t in literals):
                    faults.append(f'{file}: error text "{text}" is not in the library')
        # Links within the guide land on a section.
        anchors = {anchor for _, anchor, _ in headings(guide)}
        for target in set(re.findall(r"\]\(#([\w-]+)\)", guide)):
            if target not in anchors:
                faults.append(f"{file}: a link goes to #{target}, which no section has")
    faults += compare_languages(guides)
    install = open(os.path.join(source, "docs", "INSTALL.txt"), encoding="utf-8").read()
    faults += install_faults(guides["en"], install)

    charts = charts_of(guides["en"])
    on_disk = sorted(f for f in os.listdir(os.path.join(source, "docs", "charts")) if f.endswith(".svg"))
    if charts != on_disk:
        faults.append(f"charts in the guide {charts} differ from docs/charts {on_disk}")
    with tempfile.TemporaryDirectory() as fresh:
        subprocess.run([os.path.join(source, "scripts", "guide-charts.sh"), fresh], check=True,
                       env=dict(os.environ, MSXHOST=host, PNG="0"), capture_output=True)
        for chart in on_disk:
            made = os.path.join(fresh, chart)
            if not os.path.exists(made):
                faults.append(f"scripts/guide-charts.sh does not draw {chart}")
            elif open(made, "rb").read() != open(os.path.join(source, "docs", "charts", chart), "rb").read():
                faults.append(f"docs/charts/{chart} differs from what scripts/guide-charts.sh draws")

    texts = [("README.md", readme)] + [(f"docs/{LANGUAGES[lang][0]}", guides[lang]) for lang in guides]
    faults += run_examples(host, library, source, texts)
    commands = sum(len(shell_examples(text)) + len(console_examples(text)) for _, text in texts)
    formulas = sum(len(ext_formulas(text)) for _, text in texts)

    for fault in faults:
        print("check_guide:", fault)
    print(f"check_guide: {len(guides)} languages, {len(functions)} functions, "
          f"{len(ext_calls(guides['en']))} examples, {len(charts)} charts, {commands} commands and "
          f"{formulas} formulas run, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
