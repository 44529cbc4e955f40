#!/usr/bin/python3
"""Proves the install list: every system file the build, the programs and the tests use
belongs to a package that scripts/install-deps.sh installs or that comes with those
packages (Depends and Pre-Depends only, as apt installs them with --no-install-recommends),
or to an essential package every Debian system has.

Usage: scripts/check-deps.py [BUILD_DIR] [--trace DIR] [--without PKG]...

What is looked at:
  - the CMake package configuration files the configure step found (the *_DIR cache
    entries) and the programs and libraries it found (FILEPATH cache entries);
  - the system headers in the compiler's dependency lists (ninja -t deps) and the
    libraries named on the link lines;
  - the shared libraries of every program in BUILD_DIR (ldd);
  - with --trace, the loader's record of a test run (LD_DEBUG=files, LD_DEBUG_OUTPUT=DIR/ld):
    every library and plugin any process loaded, dlopen'd ones included, and the programs
    the tests started;
  - the command-line tools the tests call, as found on the tests' PATH.
A file no package owns (a build output is skipped; /usr/local, a Python of pyenv) is
reported as well: a fresh machine would not have it.
--without PKG takes a package out of the install list, to see what it carries.
Exit status 0 when everything is covered, 1 otherwise (each file and its package listed).
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys

# The tools the tests, the fixtures and the scripts run by name.
TOOLS = [
    "ffprobe", "ffmpeg", "xvfb-run", "Xvfb", "xauth", "pactl", "pulseaudio", "pdftotext",
    "xmllint", "python3", "cmake", "ctest", "ninja", "ccache", "pkg-config", "sh", "bash",
]
# The tests find their tools here first (tests/CMakeLists.txt sets the same PATH).
TEST_PATH = "/usr/sbin:/usr/bin:/sbin:/bin"
SKIP_PREFIXES = ("/proc/", "/dev/", "/sys/", "/tmp/", "linux-vdso")
USRMERGE = [("/usr/lib/", "/lib/"), ("/usr/bin/", "/bin/"), ("/usr/sbin/", "/sbin/"),
            ("/usr/lib64/", "/lib64/")]


def run(args, cwd=None, check=True):
    r = subprocess.run(args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if check and r.returncode != 0:
        sys.exit("check-deps: %s failed: %s" % (" ".join(args[:3]), r.stderr.strip()[:500]))
    return r.stdout


def install_list(script):
    """The packages of the PACKAGES=( ... ) array of install-deps.sh."""
    text = open(script, encoding="utf-8").read()
    m = re.search(r"^PACKAGES=\((.*?)^\)", text, re.S | re.M)
    if not m:
        sys.exit("check-deps: no PACKAGES list in " + script)
    words = []
    for line in m.group(1).splitlines():
        words += line.split("#", 1)[0].split()
    return words


def cmake_cache(build):
    """(config files, found programs and libraries) of the configure step."""
    configs, found = [], []
    for line in open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8", errors="replace"):
        m = re.match(r"^([A-Za-z0-9_.+-]+):(PATH|FILEPATH|INTERNAL)=(/.*)$", line.rstrip("\n"))
        if not m:
            continue
        name, kind, value = m.groups()
        if kind == "PATH" and name.endswith("_DIR") and os.path.isdir(value):
            configs += glob.glob(os.path.join(value, "*Config*.cmake"))
            configs += glob.glob(os.path.join(value, "*-config*.cmake"))
        elif kind == "FILEPATH" and os.path.isfile(value) and os.access(value, os.X_OK) \
                and not re.search(r"\.(so|a)(\.[0-9.]*)?$", value):
            # Programs only: a library found but linked by nothing (FindOpenGL looks for
            # EGL and GLU too) is optional; the linked ones come from the link lines.
            found.append(value)
        elif kind == "INTERNAL" and name in ("CMAKE_COMMAND", "CMAKE_CTEST_COMMAND") and os.path.isfile(value):
            found.append(value)
    return configs, found


def compile_deps(build):
    out = run(["ninja", "-C", build, "-t", "deps"])
    return [l.strip() for l in out.splitlines() if l.startswith("    /")]


def link_libraries(build):
    files = []
    for line in open(os.path.join(build, "build.ninja"), encoding="utf-8", errors="replace"):
        if line.strip().startswith("LINK_LIBRARIES ="):
            files += [w for w in line.split("=", 1)[1].split() if w.startswith("/")]
    return files


def is_elf(path):
    try:
        with open(path, "rb") as f:
            return f.read(4) == b"\x7fELF"
    except OSError:
        return False


def program_libraries(build):
    libs = []
    for p in sorted(glob.glob(os.path.join(build, "*"))):
        if os.path.isfile(p) and os.access(p, os.X_OK) and is_elf(p):
            for line in run(["ldd", p], check=False).splitlines():
                m = re.search(r"(/\S+) \(0x", line)
                if m:
                    libs.append(m.group(1))
                elif "not found" in line:
                    libs.append("MISSING:" + line.split()[0] + " (needed by " + p + ")")
    return libs


def traced(trace_dir):
    """Everything the traced processes loaded, and the programs they ran."""
    loaded, programs = set(), set()
    for f in glob.glob(os.path.join(trace_dir, "ld.*")):
        with open(f, encoding="utf-8", errors="replace") as fh:
            for line in fh:
                i = line.find("calling init: ")
                if i >= 0:
                    loaded.add(line[i + 14:].strip())
                    continue
                i = line.find("initialize program: ")
                if i >= 0:
                    programs.add(line[i + 20:].strip())
    return loaded, programs


def which(name):
    if "/" in name:
        return name if os.path.isabs(name) else None
    return shutil.which(name, path=TEST_PATH + ":" + os.environ.get("PATH", ""))


def candidates(path):
    """Names dpkg may know the file by: as given, resolved, and across the /usr merge."""
    out = []
    for p in (path, os.path.join(os.path.realpath(os.path.dirname(path)), os.path.basename(path)),
              os.path.realpath(path)):
        for q in [p] + [p.replace(a, b, 1) for a, b in USRMERGE if p.startswith(a)] + \
                 [p.replace(b, a, 1) for a, b in USRMERGE if p.startswith(b)]:
            if q not in out:
                out.append(q)
    return out


def owners(paths):
    """path -> set of packages, from one dpkg -S call over every candidate name."""
    cands = {p: candidates(p) for p in paths}
    every = sorted({c for cs in cands.values() for c in cs if not re.search(r"[*?\[\]]", c)})
    owned = {}
    if every:
        out = run(["dpkg", "-S"] + every, check=False)
        for line in out.splitlines():
            if line.startswith("diversion by") or ": " not in line:
                continue
            pkgs, path = line.rsplit(": ", 1)
            owned[path] = {p.strip().split(":")[0] for p in pkgs.split(",")}
    result = {}
    for p, cs in cands.items():
        result[p] = next((owned[c] for c in cs if c in owned), set())
    return result


def closure(roots):
    """The packages apt installs for roots without recommends: the first alternative of
    each | group (a virtual one by its providers), through Depends and Pre-Depends."""
    out = run(["apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests",
               "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances"] + sorted(roots))
    deps = {}  # package -> list of groups; a group is a list of alternatives (names)
    providers = {}  # virtual name -> providers
    pkg, group, last_alt = None, None, None
    for line in out.splitlines():
        if not line.startswith(" "):
            name = line.strip()
            # A virtual name heading its own entry has no dependencies, only providers.
            pkg = None if name.startswith("<") else name.split(":")[0]
            if pkg:
                deps.setdefault(pkg, [])
            group, last_alt = None, None
            continue
        if pkg is None:
            continue
        m = re.match(r"^ (\|| )(Depends|PreDepends): (.*)$", line)
        if m:
            alt, name = m.group(1) == "|", m.group(3).strip()
            name = name.strip("<>").split(":")[0]
            if group is None:
                group = []
                deps[pkg].append(group)
            group.append(name)
            last_alt = name
            if not alt:
                group = None
            continue
        if line.startswith("    ") and last_alt:  # a provider of the virtual name above
            providers.setdefault(last_alt, []).append(line.strip().split(":")[0])
    want = set()
    todo = [r.split(":")[0] for r in roots]
    while todo:
        p = todo.pop()
        if p in want:
            continue
        want.add(p)
        for g in deps.get(p, []):
            first = g[0]
            todo += providers.get(first, [first]) if first not in deps else [first]
    return want


def essential():
    out = run(["dpkg-query", "-W", "-f", "${Package} ${Essential} ${Priority} ${db:Status-Abbrev}\n"])
    base = set()
    for line in out.splitlines():
        f = line.split()
        if len(f) >= 3 and f[-1].startswith("ii") and (f[1] == "yes" or "required" in f[1:3]):
            base.add(f[0])
    return base


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build", nargs="?", default="build")
    ap.add_argument("--trace")
    ap.add_argument("--without", action="append", default=[])
    a = ap.parse_args()
    top = os.path.realpath(os.path.join(os.path.dirname(__file__), ".."))
    build = os.path.realpath(a.build)
    if not os.path.isfile(os.path.join(build, "CMakeCache.txt")):
        sys.exit("check-deps: %s is not a configured build folder" % a.build)

    uses = {}  # file -> why it is needed
    def add(paths, why):
        for p in paths:
            if p.startswith("MISSING:"):
                uses.setdefault(p, why)
                continue
            if p.startswith(SKIP_PREFIXES) or not os.path.isabs(p):
                continue
            r = os.path.realpath(p)
            if r.startswith((build + "/", top + "/")) or p.startswith((build + "/", top + "/")):
                continue
            uses.setdefault(p, why)

    configs, found = cmake_cache(build)
    add(configs, "CMake package configuration")
    add(found, "found by the configure step")
    add(compile_deps(build), "included by the compiler")
    add(link_libraries(build), "linked")
    add(program_libraries(build), "loaded by the programs")
    unresolved = []
    for t in TOOLS:
        w = which(t)
        if w:
            add([w], "tool the tests call")
        else:
            unresolved.append(t)
    if a.trace:
        loaded, programs = traced(a.trace)
        if not loaded:
            sys.exit("check-deps: the trace %s holds nothing" % a.trace)
        add(loaded, "loaded during the tests")
        for prog in programs:
            w = which(prog)
            if w:
                add([w], "run during the tests")

    packages = install_list(os.path.join(top, "scripts", "install-deps.sh"))
    packages = [p for p in packages if p not in a.without]
    have = closure(set(packages) | essential())
    own = owners([p for p in uses if not p.startswith("MISSING:")])

    problems = []
    for t in unresolved:
        problems.append("tool %s: not found on %s" % (t, TEST_PATH))
    for p, why in sorted(uses.items()):
        if p.startswith("MISSING:"):
            problems.append("%s: library not found (%s)" % (p[8:], why))
            continue
        o = own[p]
        if not o:
            problems.append("%s: no Debian package owns it (%s)" % (p, why))
        elif not (o & have):
            problems.append("%s: from %s, which the install list does not bring (%s)"
                            % (p, ", ".join(sorted(o)), why))
    print("check-deps: %d system files, %d packages in the install list's closure"
          % (len(uses), len(have)))
    if problems:
        pkgs = sorted({m.group(1) for m in (re.search(r"from ([^,]+?),? which", s) for s in problems) if m})
        for s in problems:
            print("  " + s)
        if pkgs:
            print("check-deps: add to scripts/install-deps.sh: " + " ".join(pkgs))
        return 1
    print("check-deps: every file belongs to the install list's closure")
    return 0


if __name__ == "__main__":
    sys.exit(main())
