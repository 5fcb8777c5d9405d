#!/usr/bin/env python3
"""Writes launcher/platform/MessageTable_<code>.cpp from the UTF-8 texts here.

Each <code>.txt holds one language: lines "<index> "<text>"" for indexes 0 to
38, '#' lines are comments. The texts are checked against the English layout
(same "%s" indexes, fixed texts, leading and trailing blanks), encoded in the
language's legacy encoding (cross-checked with the system's iconv, which the
launcher uses to convert them back at run time) and written as C++ byte
strings with the readable text as a comment.

Run from anywhere: python3 launcher/platform/messages-src/generate.py
"""

import os
import re
import subprocess
import sys

# Matching order of the locale table; each with its Python codec, its iconv
# name and the language's English name.
LOCALES = [
    ("en", "ascii", "ISO-8859-1", "English"),
    ("cs", "iso8859_2", "ISO-8859-2", "Czech"),
    ("da", "iso8859_1", "ISO-8859-1", "Danish"),
    ("de", "iso8859_1", "ISO-8859-1", "German"),
    ("el", "iso8859_7", "ISO-8859-7", "Greek"),
    ("es", "iso8859_1", "ISO-8859-1", "Spanish"),
    ("fi", "iso8859_1", "ISO-8859-1", "Finnish"),
    ("fr", "iso8859_1", "ISO-8859-1", "French"),
    ("hu", "iso8859_2", "ISO-8859-2", "Hungarian"),
    ("it", "iso8859_1", "ISO-8859-1", "Italian"),
    ("ja", "euc_jp", "EUC-JP", "Japanese"),
    ("ko", "euc_kr", "EUC-KR", "Korean"),
    ("nl", "iso8859_1", "ISO-8859-1", "Dutch"),
    ("no", "iso8859_1", "ISO-8859-1", "Norwegian"),
    ("pl", "iso8859_2", "ISO-8859-2", "Polish"),
    ("pt", "iso8859_1", "ISO-8859-1", "Portuguese"),
    ("pt_BR", "iso8859_1", "ISO-8859-1", "Brazilian Portuguese"),
    ("ru", "iso8859_5", "ISO-8859-5", "Russian"),
    ("sv", "iso8859_1", "ISO-8859-1", "Swedish"),
    ("tr", "iso8859_9", "ISO-8859-9", "Turkish"),
    ("zh", "gb2312", "GB2312", "Simplified Chinese"),
    ("zh_TW", "big5", "BIG5", "Traditional Chinese"),
]

TEXT_COUNT = 39  # indexes 0 to 38; the tables add a null pointer at 39
FIXED = {13: "LauncherMain", 18: "."}
ENDS_IN_BLANK = (24, 26, 27, 36)
BEGINS_WITH_BLANK = (37,)
KEPT_AS_IN_ENGLISH = {35: ("Tovarin?", r"\n"), 37: ("-tv:tempdir",)}

HERE = os.path.dirname(os.path.abspath(__file__))
OUT_DIR = os.path.dirname(HERE)
LINE = re.compile(r'^(\d+) "(.*)"$')


def fail(where, why):
    sys.exit(f"{where}: {why}")


def read_texts(code):
    path = os.path.join(HERE, code + ".txt")
    texts = {}
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            match = LINE.match(line)
            if not match:
                fail(f"{path}:{number}", "expected: <index> \"<text>\"")
            index = int(match.group(1))
            if index in texts or not 0 <= index < TEXT_COUNT:
                fail(f"{path}:{number}", f"index {index} repeated or out of range")
            texts[index] = match.group(2)
    if len(texts) != TEXT_COUNT:
        fail(path, f"has {len(texts)} texts, needs {TEXT_COUNT}")
    return [texts[i] for i in range(TEXT_COUNT)]


def check(code, texts, english):
    if texts[0] != code:
        fail(code, "index 0 must be the locale code")
    for index, text in enumerate(texts):
        where = f"{code} text {index}"
        if text.count("%") != text.count("%s"):
            fail(where, "a '%' other than one \"%s\"")
        if text.count("%s") != english[index].count("%s"):
            fail(where, "\"%s\" differs from English")
        if index in FIXED and text != FIXED[index]:
            fail(where, f"must be {FIXED[index]!r}")
        if index in ENDS_IN_BLANK and not text.endswith(" "):
            fail(where, "must end in a blank")
        if index in BEGINS_WITH_BLANK and not text.startswith(" "):
            fail(where, "must begin with a blank")
        for kept in KEPT_AS_IN_ENGLISH.get(index, ()):
            if text.count(kept) != english[index].count(kept):
                fail(where, f"must keep {kept!r} as in English")


def encode(code, codec, iconv_name, text):
    """The legacy bytes as a list of (bytes, is_ascii) per character."""
    pieces = []
    for char in text:
        try:
            pieces.append((char.encode(codec), ord(char) < 0x80))
        except UnicodeEncodeError:
            fail(code, f"{char!r} in {text!r} has no {iconv_name} form")
    joined = b"".join(p for p, _ in pieces)
    system = subprocess.run(["iconv", "-f", "UTF-8", "-t", iconv_name],
                            input=text.encode("utf-8"), capture_output=True,
                            check=True).stdout
    if system != joined:
        fail(code, f"Python and iconv disagree on {text!r}")
    return pieces


def c_literal(pieces):
    out = []
    after_hex = False
    for data, is_ascii in pieces:
        if is_ascii:
            char = data.decode("ascii")
            if after_hex and char in "0123456789abcdefABCDEF":
                out.append('" "')  # a hex escape would swallow this digit
            out.append({'"': '\\"', "\\": "\\\\"}.get(char, char))
            after_hex = False
        else:
            out.append("".join(f"\\x{b:02X}" for b in data))
            after_hex = True
    return '"' + "".join(out) + '"'


def write_table(code, codec, iconv_name, language, texts):
    lines = [
        f"// {language} message texts, stored in {iconv_name}.",
        f"// Generated by messages-src/generate.py from messages-src/{code}.txt;",
        "// edit that file and run the script again.",
        "// clang-format off",
        '#include "platform/Messages.h"',
        "",
        f"const char* const unixlauncher_msg_{code}[kMessageTableSize] = {{",
    ]
    for index, text in enumerate(texts):
        pieces = encode(code, codec, iconv_name, text)
        literal = c_literal(pieces)
        if any(not is_ascii for _, is_ascii in pieces):
            if text.endswith("\\"):
                fail(code, f"text {index} would end its comment in a backslash")
            lines.append(f"    // {index}: {text}")
        lines.append(f"    {literal},")
    lines += ["    nullptr,", "};", ""]
    path = os.path.join(OUT_DIR, f"MessageTable_{code}.cpp")
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines))


def main():
    english = read_texts("en")
    for code, codec, iconv_name, language in LOCALES:
        texts = read_texts(code)
        check(code, texts, english)
        write_table(code, codec, iconv_name, language, texts)
    print(f"wrote {len(LOCALES)} tables to {OUT_DIR}")


if __name__ == "__main__":
    main()
