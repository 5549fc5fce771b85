#!/usr/bin/env python3
"""Runs two builds of vellumcraft on the same random sites and compares how
each run ends.

    scripts/differential.py OLD NEW [--seed S] [--count N] [--kind NAME]...

OLD is the reference build (the one writing every page itself, one at a
time), NEW the build under test. For every case a small site is generated
from the case's kind and seed; each program runs on its own copy of it, in
two folders of the same path length, and the copies are compared after
every run:

- the files under the output root: names, kinds (file, folder, link) and
  contents;
- the `Written:` and `Avoids:` lines and the exit status;
- the run log `Vellumkit.log` in the frame page's folder, with the site's
  folder replaced by <ROOT>, the closing `Run Ended:` lines (only NEW writes
  them) dropped, and the system's reason in parentheses after a name
  (` (Is a directory)`) dropped, as OLD gives none. A missing log counts
  as an empty one: OLD makes none when it has nothing to log;
- with --stderr, standard error too, without the progress bar.

The type map's entry for a first node with children is read as OLD wrote
it: NEW names the page the run writes (`URI: x/index_en.html`), where OLD
named one that is never written (`URI: x_en.html`).

The kinds, each a way of making pages meet or fail:

  plain             a tree of 1-15 pages, one or two languages
  twice             a page name used twice in one folder, sometimes with a
                    failing page after it
  section           a section named as a page of its folder, before or
                    after it, or a section with a child named index
  blocked           a folder where a page goes, a file where a section's
                    folder goes, a section's folder closed to new files, or
                    home,t1.html / x / home,t2.html with a folder at home's page
  missing-template  nodes naming templates that are not there
  rerun             a second run over the first one's pages: an edited
                    frame, --overwrite all, --no-overwrite, --delete, or a
                    time window with some pages made old
  typemap           an unchangeable index.html.var (chattr +i; root only)
  bad-field         a template with a field that fails

A case is run again alone with `--kind KIND --seed SEED --count 1`. Every
differing case is listed with its seed, and the smallest ones of each kind
are shown with a diff of the two runs. The exit status is 0 when no case
differed, 1 when one did or could not be run, 2 for unusable arguments.
"""

import argparse
import concurrent.futures
import difflib
import hashlib
import os
import random
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import traceback

LANGS = ("en", "es")
# The page names; a tree takes each once, unless its kind doubles one on
# purpose ("index" as a section's child already meets the section's page).
NAMES = ("index", "home", "history", "about", "team", "news", "x", "contact",
         "products", "tools", "faq", "legal", "press", "jobs", "blog", "shop")
TEMPLATES = ("t1.html", "t2.html", "t3.html")
# Lines a template is made of: the breadcrumb and the site map make every
# page's content differ, the language texts log a line for each missing key.
TEMPLATE_LINES = (
    "<p>[CURBRANCH]</p>",
    "<h1>[LANG('greeting')]</h1>",
    "<p>[LANG('nokey')]</p>",
    "<p>page[LANG_ID]</p>",
    "[SITEMAP]",
    "<p>[CURBRANCH(' / ',,,1)]</p>",
)
RUN_ARGS = ("--no-window",)
LOG = "source/templates/Vellumkit.log"
REASONS = {os.strerror(n) for n in range(1, 200)}
# The system's reason after a file's name, as in "(Is a directory)": the
# old build gives none.
REASON = re.compile(r" \(([^()]*)\)")
PROGRESS = re.compile(r"Proceso en progreso\.*\s*\[[#.]*\]\s*\d+%")
TYPE_MAP = "index.html.var"
SECTION_URI = re.compile(rb"^URI: ([^/\n]+)/index_([a-z]{2})\.html$", re.M)


# ----------------------------------------------------------------- the site

class Site:
    """A generated case: its inputs, what is planted and how it is run."""

    def __init__(self, rng, kind):
        self.rng = rng
        self.kind = kind
        self.nodes = []          # [depth, name, [options]] in tree order
        self.langs = ["en"]
        self.files = {}          # input files: relative path -> bytes
        self.runs = []           # Run steps, in order
        self.notes = []

    # Tree building. A node is [depth, name, options]; a node is a section
    # when the next one is deeper.

    def random_options(self):
        rng = self.rng
        options = []
        if rng.random() < 0.35:
            options.append(rng.choice(TEMPLATES))
        if rng.random() < 0.08:
            options.append("/files/%s.pdf" % rng.choice(NAMES))
        if rng.random() < 0.08:
            options.append(str(rng.randint(1, 9)))
        rng.shuffle(options)
        return options

    def grow(self, count, exclude=()):
        """Appends count random nodes, each of a name not in the tree yet."""
        used = {n[1] for n in self.nodes} | set(exclude)
        for _ in range(count):
            free = [n for n in NAMES if n not in used]
            if not free:
                break
            name = self.rng.choice(free)
            used.add(name)
            depth = self.rng.randint(0, self.nodes[-1][0] + 1) if self.nodes else 0
            self.nodes.append([depth, name, self.random_options()])

    def is_section(self, i):
        return i + 1 < len(self.nodes) and self.nodes[i + 1][0] > self.nodes[i][0]

    def subtree_end(self, i):
        depth = self.nodes[i][0]
        j = i + 1
        while j < len(self.nodes) and self.nodes[j][0] > depth:
            j += 1
        return j

    def sibling_slots(self, i):
        """Positions after node i where a node of its depth is its sibling."""
        depth = self.nodes[i][0]
        slots = []
        j = self.subtree_end(i)
        while True:
            slots.append(j)
            if j >= len(self.nodes) or self.nodes[j][0] < depth:
                return slots
            j = self.subtree_end(j)

    def insert(self, at, nodes):
        self.nodes[at:at] = nodes

    def pages(self, lang):
        """(node index, page path) of every page in tree order."""
        folder, out = [], []
        for i, (depth, name, _) in enumerate(self.nodes):
            del folder[depth:]
            if self.is_section(i):
                folder.append(name)
                out.append((i, "/".join(folder + ["index_%s.html" % lang])))
            else:
                out.append((i, "/".join(folder + ["%s_%s.html" % (name, lang)])))
        return out

    def section_folders(self):
        folder, out = [], []
        for i, (depth, name, _) in enumerate(self.nodes):
            del folder[depth:]
            if self.is_section(i):
                folder.append(name)
                out.append((i, "/".join(folder)))
        return out

    def tree_text(self):
        lines = []
        for depth, name, options in self.nodes:
            lines.append("\t" * depth + name + ("," + ";".join(options) if options else ""))
        return "\n".join(lines) + "\n"

    # Inputs.

    def template(self, label):
        lines = ["<p>%s</p>" % label]
        lines += self.rng.sample(TEMPLATE_LINES, self.rng.randint(1, 3))
        return "\n".join(lines) + "\n"

    def write_inputs(self):
        rng = self.rng
        f = self.files
        f["config.txt"] = b"source/templates/frame.html\r\nsource/tree/tree.txt\r\nsource/macros.txt\r\n"
        f["source/macros.txt"] = b"OWNER='Ana'\n"
        f["source/templates/frame.html"] = self.template("frame").encode()
        for t in TEMPLATES:
            f["source/templates/" + t] = self.template(t).encode()
        f["source/tree/tree.txt"] = self.tree_text().encode()
        names = sorted({n[1] for n in self.nodes})
        for lang in LANGS:
            if rng.random() < 0.7:
                keys = [n for n in names if rng.random() < 0.6]
                if rng.random() < 0.5:
                    keys.append("greeting")
                text = "".join('%s="%s %s"\n' % (k, k.capitalize(), lang) for k in keys)
                f["source/tree/tree_%s.txt" % lang] = text.encode()

    def pick_langs(self):
        return self.rng.choice([["en"], ["es"], ["en", "es"], ["en", "es"]])

    def describe(self):
        out = ["tree.txt:"]
        for line in self.tree_text().splitlines():
            depth = len(line) - len(line.lstrip("\t"))
            out.append("    " + "    " * depth + line.lstrip("\t"))
        missing = sorted({o for n in self.nodes for o in n[2] if o.endswith(".html")}
                         - {p.rsplit("/", 1)[-1] for p in self.files})
        if missing:
            out.append("missing templates: " + ", ".join(missing))
        for k, run in enumerate(self.runs, 1):
            out.append("run %d: %s" % (k, shlex.join(run.args)))
            for what in run.describe():
                out.append("    " + what)
        out += self.notes
        return "\n".join(out)


class Run:
    """One run of the program, with what is changed or planted before it."""

    def __init__(self, langs, overwrite="all", delete=False):
        """overwrite: "all", "none" or a time window's label."""
        args = list(RUN_ARGS) + ["--lang", ",".join(langs)]
        args += ["--no-overwrite"] if overwrite == "none" else ["--overwrite", overwrite]
        if delete:
            args.append("--delete")
        self.args = args
        self.edits = {}          # relative path -> bytes, written before the run
        self.folders = []        # folders planted (relative paths)
        self.plain_files = []    # files planted where a folder is wanted
        self.immutable = []      # files made unchangeable (chattr +i)
        self.locked = []         # folders made, then closed to new files
        self.aged = []           # files whose time is set two days back

    def describe(self):
        out = ["edited: " + p for p in sorted(self.edits)]
        out += ["folder planted: " + p + "/" for p in self.folders]
        out += ["file planted: " + p for p in self.plain_files]
        out += ["made immutable: " + p for p in self.immutable]
        out += ["folder closed to new files: " + p + "/" for p in self.locked]
        out += ["made two days old: " + p for p in self.aged]
        return out


# ------------------------------------------------------------------- kinds

def kind_plain(site):
    site.langs = site.pick_langs()
    site.grow(site.rng.randint(1, 15))
    site.runs.append(Run(site.langs, "all" if site.rng.random() < 0.7 else "none"))


def double_a_page(site, same_template):
    """Adds a second node of an existing page's name later in the same
    folder, made from the same template or another one."""
    leaves = [i for i in range(len(site.nodes)) if not site.is_section(i)]
    if not leaves:
        return
    i = site.rng.choice(leaves)
    at = site.rng.choice(site.sibling_slots(i))
    options = [o for o in site.nodes[i][2] if not o.endswith(".html")]
    first = [o for o in site.nodes[i][2] if o.endswith(".html")]
    if same_template:
        template = first
    else:
        template = [site.rng.choice([t for t in TEMPLATES if [t] != first])]
        if site.rng.random() < 0.3 and first:
            template = []          # the frame page
    site.insert(at, [[site.nodes[i][0], site.nodes[i][1], template + options]])


def add_failure_after(site, start):
    """Makes a page after node start fail: a folder where its file goes, or
    a template that is not there."""
    later = [i for i in range(start + 1, len(site.nodes))]
    if not later:
        site.nodes.append([0, "zz", []])
        later = [len(site.nodes) - 1]
    i = site.rng.choice(later)
    if site.rng.random() < 0.6:
        lang = site.rng.choice(site.langs)
        site.runs[-1].folders.append(dict(site.pages(lang))[i])
    else:
        site.nodes[i][2] = [o for o in site.nodes[i][2] if not o.endswith(".html")] + ["gone.html"]


def kind_twice(site):
    rng = site.rng
    site.langs = site.pick_langs()
    site.grow(rng.randint(1, 12))
    for _ in range(rng.choice([1, 1, 2])):
        double_a_page(site, same_template=rng.random() < 0.3)
    site.runs.append(Run(site.langs, "all" if rng.random() < 0.7 else "none"))
    if rng.random() < 0.5:
        add_failure_after(site, rng.randrange(len(site.nodes)))


def kind_section(site):
    rng = site.rng
    site.langs = site.pick_langs()
    site.grow(rng.randint(1, 10))
    variant = rng.choice(["page-then-section", "section-then-page", "child-index"])
    sections = [i for i in range(len(site.nodes)) if site.is_section(i)]
    leaves = [i for i in range(len(site.nodes)) if not site.is_section(i)]
    if not sections:
        variant = "page-then-section"
    site.notes.append("variant: " + variant)
    if variant == "section-then-page":
        i = rng.choice(sections)
        site.insert(rng.choice(site.sibling_slots(i)), [[site.nodes[i][0], site.nodes[i][1], site.random_options()]])
    elif variant == "child-index":
        i = rng.choice(sections)
        depth = site.nodes[i][0] + 1
        slots = [j for j in range(i + 1, site.subtree_end(i) + 1)
                 if j == len(site.nodes) or site.nodes[j][0] <= depth]
        site.insert(rng.choice(slots), [[depth, "index", site.random_options()]])
    else:
        i = rng.choice(leaves)
        depth, name = site.nodes[i][0], site.nodes[i][1]
        children = [[depth + 1, rng.choice(NAMES), site.random_options()] for _ in range(rng.randint(1, 3))]
        site.insert(rng.choice(site.sibling_slots(i)), [[depth, name, site.random_options()]] + children)
    site.runs.append(Run(site.langs, "all" if rng.random() < 0.7 else "none"))
    if rng.random() < 0.3:
        add_failure_after(site, rng.randrange(len(site.nodes)))


def kind_blocked(site):
    rng = site.rng
    site.langs = site.pick_langs()
    site.grow(rng.randint(1, 12), exclude=("home", "x"))
    run = Run(site.langs, "all" if rng.random() < 0.8 else "none")
    site.runs.append(run)
    variant = rng.choice(["page", "page", "named-twice", "folder-is-file", "two-folders", "locked-folder"])
    if variant in ("folder-is-file", "locked-folder") and not site.section_folders():
        variant = "page"
    site.notes.append("variant: " + variant)
    lang = rng.choice(site.langs)
    if variant == "named-twice":
        # home,a.html / x / home,b.html with a folder at home_LANG.html.
        at = rng.choice([j for j in range(len(site.nodes) + 1)
                         if j == len(site.nodes) or site.nodes[j][0] == 0])
        site.insert(at, [[0, "home", ["t1.html"]], [0, "x", []], [0, "home", ["t2.html"]]])
        run.folders.append("home_%s.html" % lang)
    elif variant == "folder-is-file":
        run.plain_files.append(rng.choice(site.section_folders())[1])
    elif variant == "locked-folder":
        run.locked.append(rng.choice(site.section_folders())[1])
    else:
        pages = [p for _, p in site.pages(lang)]
        count = 2 if variant == "two-folders" else 1
        run.folders += rng.sample(pages, min(count, len(pages)))
    if rng.random() < 0.3:
        double_a_page(site, same_template=False)


def kind_missing_template(site):
    rng = site.rng
    site.langs = site.pick_langs()
    site.grow(rng.randint(1, 12))
    for i in rng.sample(range(len(site.nodes)), min(len(site.nodes), rng.randint(1, 3))):
        site.nodes[i][2] = [o for o in site.nodes[i][2] if not o.endswith(".html")] + \
                           [rng.choice(["gone.html", "gone2.html"])]
    if rng.random() < 0.4:
        double_a_page(site, same_template=False)
    site.runs.append(Run(site.langs, "all" if rng.random() < 0.7 else "none"))


def kind_rerun(site):
    rng = site.rng
    site.langs = site.pick_langs()
    site.grow(rng.randint(1, 12))
    if rng.random() < 0.4:
        double_a_page(site, same_template=rng.random() < 0.3)
    site.runs.append(Run(site.langs, "all"))
    mode = rng.choice(["all", "all", "none", "none", "delete", "window"])
    langs2 = site.langs if rng.random() < 0.7 else site.pick_langs()
    overwrite = {"none": "none", "window": rng.choice(["1 Hour", "1 day"])}.get(mode, "all")
    second = Run(langs2, overwrite, delete=mode == "delete" or (mode == "window" and rng.random() < 0.3))
    if mode == "window":
        # Pages older than the window are kept, the others written.
        pages = [p for lang in site.langs for _, p in site.pages(lang)]
        second.aged = rng.sample(pages, rng.randint(0, len(pages)))
    if rng.random() < 0.8:
        second.edits["source/templates/frame.html"] = site.template("frame edited").encode()
    if rng.random() < 0.4:
        t = rng.choice(TEMPLATES)
        second.edits["source/templates/" + t] = site.template(t + " edited").encode()
    site.runs.append(second)
    if rng.random() < 0.3:
        lang = rng.choice(langs2)
        second.folders.append(rng.choice(site.pages(lang))[1])


def kind_typemap(site):
    rng = site.rng
    site.langs = ["en", "es"]
    site.grow(rng.randint(1, 10))
    if rng.random() < 0.3:
        double_a_page(site, same_template=False)
    variant = rng.choice(["planted", "after-first-run", "after-first-run-en"])
    site.notes.append("variant: " + variant)
    if variant == "planted":
        site.files["index.html.var"] = b"URI: index\n\n"
        run = Run(site.langs, "all" if rng.random() < 0.7 else "none")
        run.immutable.append("index.html.var")
        site.runs.append(run)
    else:
        site.runs.append(Run(["en"] if variant.endswith("-en") else site.langs, "all"))
        second = Run(site.langs, "all" if rng.random() < 0.7 else "none")
        if rng.random() < 0.7:
            second.edits["source/templates/frame.html"] = site.template("frame edited").encode()
        second.immutable.append("index.html.var")
        site.runs.append(second)


def kind_bad_field(site):
    """A template whose field fails ends the run at its page."""
    rng = site.rng
    site.langs = site.pick_langs()
    site.grow(rng.randint(1, 12))
    i = rng.randrange(len(site.nodes))
    site.nodes[i][2] = [o for o in site.nodes[i][2] if not o.endswith(".html")] + ["bad.html"]
    if rng.random() < 0.4:
        double_a_page(site, same_template=False)
    site.runs.append(Run(site.langs, "all" if rng.random() < 0.7 else "none"))


KINDS = {
    "plain": kind_plain,
    "twice": kind_twice,
    "section": kind_section,
    "blocked": kind_blocked,
    "missing-template": kind_missing_template,
    "rerun": kind_rerun,
    "typemap": kind_typemap,
    "bad-field": kind_bad_field,
}


def make_site(kind, seed):
    site = Site(random.Random("%s/%d" % (kind, seed)), kind)
    KINDS[kind](site)
    if not site.runs:
        site.runs.append(Run(site.langs, "all"))
    site.write_inputs()
    if kind == "bad-field":
        site.files["source/templates/bad.html"] = b"<p>bad</p>\n<p>[1+]</p>\n"
    return site


# ------------------------------------------------------------------ running

class Skip(Exception):
    """A case that cannot be set up on this machine."""


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def chattr(flag, path):
    try:
        return subprocess.run(["chattr", flag, path], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0
    except OSError:
        return False


def snapshot(root, inputs):
    """The tree under root as text lines; contents shown for every file the
    run made or changed, a digest for the inputs left as they were."""
    lines, contents = [], []
    for top, dirs, files in os.walk(root):
        dirs.sort()
        rel_top = os.path.relpath(top, root)
        for name in sorted(dirs + files):
            path = os.path.join(top, name)
            rel = os.path.normpath(os.path.join(rel_top, name))
            if os.path.islink(path):
                lines.append("l %s -> %s" % (rel, os.readlink(path)))
            elif os.path.isdir(path):
                lines.append("d %s/" % rel)
            elif rel == LOG:
                continue    # compared on its own; a log of nothing but its end is no log
            else:
                with open(path, "rb") as f:
                    data = f.read()
                if rel == TYPE_MAP:
                    data = SECTION_URI.sub(rb"URI: \1_\2.html", data)
                digest = hashlib.sha1(data).hexdigest()[:10]
                lines.append("f %s %s" % (rel, digest))
                if inputs.get(rel) != data:
                    contents.append("%s:" % rel)
                    contents += ["    " + line for line in data.decode("latin-1").splitlines()]
    return lines, contents


def drop_reasons(line):
    return REASON.sub(lambda m: "" if m.group(1) in REASONS else m.group(0), line)


def normalise_log(text, root):
    text = text.replace(root, "<ROOT>")
    lines = text.split("\n")
    ended = [k for k, line in enumerate(lines) if line.startswith("Run Ended:")]
    if ended:
        lines = lines[:ended[-1]]
    out = []
    for line in lines:
        line = drop_reasons(line)
        out.append(line[:-1] if line.endswith("\r") else line + "<LF>")
    while out and out[-1] in ("", "<LF>"):
        out.pop()
    return out


def normalise_stderr(text, root):
    # The old build writes a path's separators as backslashes.
    text = text.replace(root.replace("/", "\\"), "<ROOT>").replace(root, "<ROOT>")
    text = re.sub(r"<ROOT>\S*", lambda m: m.group(0).replace("\\", "/"), PROGRESS.sub("", text))
    lines = [drop_reasons(l).rstrip()
             for l in text.splitlines()]
    return [l for l in lines if l]


def run_program(program, site, root, with_stderr):
    """Runs every step of the site with program in root; returns the text
    lines of what each step left."""
    for rel, data in site.files.items():
        write(os.path.join(root, rel), data)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    out = []
    for n, run in enumerate(site.runs, 1):
        inputs = dict(site.files)
        for later in site.runs[:n]:
            inputs.update(later.edits)
        for rel, data in run.edits.items():
            write(os.path.join(root, rel), data)
        for rel in run.folders:
            path = os.path.join(root, rel)
            if os.path.isfile(path):
                os.remove(path)         # a page of the run before
            os.makedirs(path, exist_ok=True)
        for rel in run.plain_files:
            write(os.path.join(root, rel), b"in the way\n")
            inputs[rel] = b"in the way\n"
        for rel in run.aged:
            path = os.path.join(root, rel)
            if os.path.isfile(path):
                old = os.stat(path).st_mtime - 2 * 86400
                os.utime(path, (old, old))
        for rel in run.locked:
            path = os.path.join(root, rel)
            os.makedirs(path, exist_ok=True)
            if os.geteuid() == 0:
                if not chattr("+i", path):
                    raise Skip("chattr +i failed")
            else:
                os.chmod(path, 0o555)
        for rel in run.immutable:
            path = os.path.join(root, rel)
            if not os.path.exists(path):
                write(path, b"URI: index\n\n")
            if not chattr("+i", path):
                raise Skip("chattr +i failed")
        try:
            p = subprocess.run([program] + run.args, cwd=root, env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
            rc, stdout, stderr = p.returncode, p.stdout, p.stderr
        except subprocess.TimeoutExpired:
            rc, stdout, stderr = "timeout", b"", b""
        out.append("== run %d: %s" % (n, shlex.join(run.args)))
        out.append("exit status: %s" % rc)
        out += [l for l in stdout.decode("latin-1").splitlines() if l.startswith(("Written:", "Avoids:"))]
        if with_stderr:
            out.append("-- stderr")
            out += normalise_stderr(stderr.decode("latin-1"), root)
        files, contents = snapshot(root, inputs)
        out.append("-- files")
        out += files
        out.append("-- contents")
        out += contents
        out.append("-- log")
        try:
            with open(os.path.join(root, LOG), "rb") as f:
                out += normalise_log(f.read().decode("latin-1"), root)
        except FileNotFoundError:
            pass
    return out


def unlock(top):
    """Undoes chattr +i and a folder's missing write access below top."""
    for d, dirs, files in os.walk(top):
        for name in dirs + files:
            path = os.path.join(d, name)
            if os.geteuid() == 0 and not os.path.islink(path):
                chattr("-i", path)
            if os.path.isdir(path) and not os.path.islink(path):
                os.chmod(path, 0o755)


def run_case(kind, seed, programs, base, keep, with_stderr):
    """Returns (kind, seed, status, size, report)."""
    site = make_site(kind, seed)
    work = tempfile.mkdtemp(prefix="vkdiff-", dir=base)
    immutable = any(run.immutable or run.locked for run in site.runs)
    status, report = "same", ""
    try:
        results = []
        for side, program in zip("ab", programs):
            results.append(run_program(program, site, os.path.join(work, side, "site"), with_stderr))
        if results[0] != results[1]:
            status = "differ"
            diff = difflib.unified_diff(results[0], results[1], "old", "new", lineterm="", n=4)
            report = site.describe() + "\n" + "\n".join(diff)
            if keep:
                report += "\nkept in " + work
    except Skip as e:
        status, report = "skipped", str(e)
    except Exception:
        status, report = "error", site.describe() + "\n" + traceback.format_exc()
    finally:
        if immutable:
            unlock(work)
        if not (keep and status == "differ"):
            shutil.rmtree(work, ignore_errors=True)
    return kind, seed, status, len(site.nodes), report


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("old", help="the reference program")
    parser.add_argument("new", help="the program under test")
    parser.add_argument("--seed", type=int, default=1, help="seed of the first case (default 1)")
    parser.add_argument("--count", type=int, default=300, help="cases per kind (default 300)")
    parser.add_argument("--kind", action="append", choices=sorted(KINDS),
                        help="run this kind only (may be given again); default all")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1, help="cases run at once")
    parser.add_argument("--show", type=int, default=2,
                        help="differing cases shown with their diff per kind, smallest first (default 2)")
    parser.add_argument("--keep", action="store_true", help="keep the folders of differing cases")
    parser.add_argument("--stderr", action="store_true",
                        help="compare standard error too (progress bars removed, reasons dropped)")
    parser.add_argument("--tmp", default=None, help="folder for the cases' sites (default the system's)")
    args = parser.parse_args()

    programs = [os.path.abspath(p) for p in (args.old, args.new)]
    for p in programs:
        if not os.access(p, os.X_OK):
            parser.error("not an executable program: " + p)
    kinds = args.kind or list(KINDS)
    if "typemap" in kinds and os.geteuid() != 0:
        print("typemap: skipped (chattr +i needs root)")
        kinds = [k for k in kinds if k != "typemap"]

    results = {k: [] for k in kinds}
    with concurrent.futures.ProcessPoolExecutor(max_workers=args.jobs) as pool:
        futures = [pool.submit(run_case, k, args.seed + i, programs, args.tmp, args.keep, args.stderr)
                   for k in kinds for i in range(args.count)]
        for f in concurrent.futures.as_completed(futures):
            kind, seed, status, size, report = f.result()
            results[kind].append((seed, status, size, report))

    any_differ = False
    for kind in kinds:
        differ = sorted((size, seed, report) for seed, status, size, report in results[kind] if status == "differ")
        any_differ = any_differ or bool(differ)
        for size, seed, report in differ[:args.show]:
            print("=" * 72)
            print("kind %s, seed %d (--kind %s --seed %d --count 1)" % (kind, seed, kind, seed))
            print(report)
    print("=" * 72)
    for kind in kinds:
        rows = results[kind]
        differ = sorted(seed for seed, status, _, _ in rows if status == "differ")
        for seed, status, _, report in rows:
            if status == "error":
                print("%s seed %d: the case could not be run\n%s" % (kind, seed, report))
                any_differ = True
        skipped = [seed for seed, status, _, _ in rows if status == "skipped"]
        line = "%-17s %4d of %4d cases differ" % (kind + ":", len(differ), len(rows))
        if skipped:
            line += ", %d skipped (%s)" % (len(skipped), next(r[3] for r in rows if r[1] == "skipped"))
        print(line)
        if differ:
            print("    seeds: " + " ".join(map(str, differ)))
    return 1 if any_differ else 0


if __name__ == "__main__":
    sys.exit(main())
