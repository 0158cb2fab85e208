#!/usr/bin/python3
"""Sources, build commands and labels of the bench corpus (see make_corpus.sh).

    corpus.py plan OUTDIR [WINE_DIR]  writes OUTDIR/src/*, OUTDIR/jobs.txt
                                      (one shell command a line) and
                                      OUTDIR/expected.tsv; copies the Wine sample
    corpus.py check OUTDIR            reads every built file's headers, writes
                                      OUTDIR/labels.tsv with the files that agree
                                      with their label and lists the others

Every choice comes from random.Random seeded with the file's number, so a
plan is the same on every run. The builds run in OUTDIR with paths relative
to it, because the linker derives a DLL's image base from its output name and
keeps source names in the symbols: so a file does not depend on where OUTDIR is.
"""
import os
import random
import shlex
import shutil
import sys

import corpus_pe

SEED = 20261209
PER_KIND = 80
FIXED_TIME = 1767225600  # 2026-01-01, the file and signing time where a tool records one
# Wine files larger than this are left out: they only slow the bench down.
WINE_MAX_BYTES = 4 << 20

CONSOLE_APIS = ["GetTickCount()", "GetCurrentProcessId()", "GetVersion()",
                "GetACP()", "GetLastError()", "GetCurrentThreadId()"]
GUI_APIS = ["GetSystemMetrics(SM_CXSCREEN)", "GetDoubleClickTime()",
            "GetCaretBlinkTime()", "(unsigned)(size_t)GetDesktopWindow()",
            "(unsigned)(size_t)LoadCursorA(NULL, IDC_ARROW)"]
WORDS = ("alpha beta gamma delta report ledger window socket parser stream "
         "render buffer token cache folder backup widget sample").split()


def c_functions(rng, count):
    """COUNT small arithmetic functions and a table of strings, as C text."""
    parts = []
    for i in range(count):
        a, b, c = rng.randrange(1, 97), rng.randrange(1, 31), rng.randrange(2, 9)
        op = rng.choice(["+", "^", "-"])
        parts.append(
            f"static unsigned f{i}(unsigned x) {{\n"
            f"  unsigned s = {a}u;\n"
            f"  for (unsigned k = 0; k < (x % {c}u) + {b}u; ++k) s = s * 33u {op} (x >> (k % 7u));\n"
            f"  return s;\n}}\n")
    words = [" ".join(rng.choice(WORDS) for _ in range(rng.randrange(2, 9))) for _ in range(count)]
    parts.append("static const char *const texts[] = {\n"
                 + "".join(f'  "{w}",\n' for w in words) + "  0\n};\n")
    parts.append("static unsigned mix(unsigned x) {\n  unsigned s = 0;\n"
                 + "".join(f"  s += f{i}(x + {i}u);\n" for i in range(count))
                 + "  return s;\n}\n")
    return "".join(parts)


def calls(rng, apis):
    chosen = rng.sample(apis, rng.randrange(1, len(apis) + 1))
    return " + ".join(f"(unsigned){api}" for api in chosen)


def console_source(rng):
    body = c_functions(rng, rng.randrange(1, 60))
    return ("#include <stdio.h>\n#include <string.h>\n#include <windows.h>\n" + body +
            "int main(int argc, char **argv) {\n"
            f"  unsigned v = mix((unsigned)argc) + {calls(rng, CONSOLE_APIS)};\n"
            "  printf(\"%s %u\\n\", texts[v % (sizeof texts / sizeof *texts - 1)], v);\n"
            "  return argc > 1 ? (int)strlen(argv[1]) : 0;\n}\n")


def gui_source(rng):
    body = c_functions(rng, rng.randrange(1, 60))
    window = rng.random() < 0.5
    show = ("  WNDCLASSA wc = {0};\n  wc.lpfnWndProc = DefWindowProcA;\n"
            "  wc.hInstance = hi;\n  wc.lpszClassName = \"MorvelSample\";\n"
            "  RegisterClassA(&wc);\n"
            "  HWND w = CreateWindowA(\"MorvelSample\", texts[0], WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, 0, 0, hi, 0);\n"
            "  if (v == 7u) { ShowWindow(w, sw); MSG m; while (GetMessageA(&m, 0, 0, 0)) DispatchMessageA(&m); }\n"
            if window else
            "  if (v == 7u) MessageBoxA(NULL, texts[0], \"Sample\", MB_OK);\n")
    return ("#include <windows.h>\n" + body +
            "int WINAPI WinMain(HINSTANCE hi, HINSTANCE prev, LPSTR cmd, int sw) {\n"
            f"  unsigned v = mix((unsigned)sw) + {calls(rng, GUI_APIS)};\n"
            + show + "  (void)prev; (void)cmd;\n  return (int)(v & 1u);\n}\n")


def library_source(rng):
    body = c_functions(rng, rng.randrange(1, 60))
    exports = "".join(
        f"__declspec(dllexport) unsigned Sample{n}(unsigned x) {{ return mix(x + {n}u); }}\n"
        for n in range(rng.randrange(1, 12)))
    entry = ("BOOL WINAPI DllMain(HINSTANCE h, DWORD why, LPVOID r) {\n"
             "  (void)h; (void)why; (void)r;\n  return TRUE;\n}\n") if rng.random() < 0.6 else ""
    return "#include <windows.h>\n" + body + exports + entry


def cxx_source(rng, gui):
    words = rng.sample(WORDS, rng.randrange(3, len(WORDS)))
    main = ("#include <windows.h>\nint WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int sw) {\n  int argc = sw;\n"
            if gui else "#include <iostream>\nint main(int argc, char **) {\n")
    out = "  MessageBoxA(nullptr, all.c_str(), \"x\", 0);\n" if gui else "  std::cout << all << '\\n';\n"
    return ("#include <algorithm>\n#include <map>\n#include <string>\n#include <vector>\n" + main +
            "  std::vector<std::string> v{" + ", ".join(f'"{w}"' for w in words) + "};\n"
            "  std::map<std::string, int> counts;\n"
            "  for (auto &w : v) counts[w] += argc;\n"
            "  std::sort(v.begin(), v.end());\n"
            "  std::string all;\n  for (auto &[w, n] : counts) all += w + std::to_string(n);\n"
            + "  if (argc == 7) {\n" + out + "  }\n  return (int)all.size() & 1;\n}\n")


def driver_source(rng):
    body = c_functions(rng, rng.randrange(1, 30))
    pool = ("  void *p = ExAllocatePoolWithTag(0, 64, 0x6c766f4d);\n  if (p) ExFreePoolWithTag(p, 0x6c766f4d);\n"
            if rng.random() < 0.5 else "")
    return ("typedef long NTSTATUS;\ntypedef unsigned long ULONG;\n"
            "__declspec(dllimport) ULONG __cdecl DbgPrint(const char *, ...);\n"
            "__declspec(dllimport) void *__stdcall ExAllocatePoolWithTag(int, __SIZE_TYPE__, ULONG);\n"
            "__declspec(dllimport) void __stdcall ExFreePoolWithTag(void *, ULONG);\n"
            + body +
            "struct driver { short type, size; void *device; ULONG flags; void *start; ULONG dsize;\n"
            "  void *section, *ext; unsigned short name[8]; void *hw, *fastio, *init, *startio, *unload; };\n"
            "static void __stdcall Unload(struct driver *d) { (void)d; DbgPrint(\"unload\\n\"); }\n"
            "NTSTATUS __stdcall DriverEntry(struct driver *d, void *path) {\n  (void)path;\n"
            "  d->unload = (void *)Unload;\n"
            + pool +
            f"  DbgPrint(\"%s %u\\n\", texts[0], mix({rng.randrange(1000)}u));\n  return 0;\n}}\n")


def resource_script(rng, name, manifest):
    version = ",".join(str(rng.randrange(10)) for _ in range(4))
    text = (f"1 VERSIONINFO\nFILEVERSION {version}\nPRODUCTVERSION {version}\nBEGIN\n"
            " BLOCK \"StringFileInfo\"\n BEGIN\n  BLOCK \"040904b0\"\n  BEGIN\n"
            f"   VALUE \"CompanyName\", \"{rng.choice(WORDS).title()} Works\"\n"
            f"   VALUE \"FileDescription\", \"{rng.choice(WORDS)} {rng.choice(WORDS)}\"\n"
            f"   VALUE \"OriginalFilename\", \"{name}\"\n"
            "  END\n END\n BLOCK \"VarFileInfo\"\n BEGIN\n  VALUE \"Translation\", 0x409, 1200\n END\nEND\n")
    if manifest:
        text += f"1 24 \"{manifest}\"\n"
    return text


MANIFEST = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges>
    <requestedExecutionLevel level="{level}" uiAccess="false"/>
  </requestedPrivileges></security></trustInfo>
</assembly>
"""


class Plan:
    def __init__(self, out):
        self.out = out
        self.src = os.path.join(out, "src")
        os.makedirs(self.src, exist_ok=True)
        self.jobs = []
        self.expected = []

    def write(self, name, text):
        """Writes src/NAME; returns its path from OUTDIR, where the builds run."""
        path = os.path.join(self.src, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        os.utime(path, (FIXED_TIME, FIXED_TIME))
        return os.path.join("src", name)

    def build_path(self, relpath, sign):
        """Where the build writes, from OUTDIR: signed files are signed from a copy beside them."""
        os.makedirs(os.path.dirname(os.path.join(self.out, relpath)), exist_ok=True)
        return relpath + (".unsigned" if sign else "")

    def add(self, relpath, kind, bits, builder, commands, sign):
        path = relpath
        if sign:
            commands.append(f"osslsigncode sign -certs key/cert.pem -key key/key.pem -time {FIXED_TIME} "
                            f"-n Morvel-bench -h sha256 -in {q(path)}.unsigned -out {q(path)} >/dev/null"
                            f" && rm -f {q(path)}.unsigned")
        self.jobs.append(" && ".join(commands).replace("@OUT@", q(self.build_path(relpath, sign))))
        self.expected.append((relpath, kind, bits, builder, "signed" if sign else "unsigned"))


def q(text):
    return shlex.quote(text)


def plan_mingw(plan, kind, count):
    for n in range(count):
        rng = random.Random(f"{SEED}-mingw-{kind}-{n}")
        bits = "64" if n % 2 == 0 else "32"
        cc = "x86_64-w64-mingw32" if bits == "64" else "i686-w64-mingw32"
        name = f"{kind}{n:03d}"
        cxx = kind in ("console", "gui") and n % 8 == 5
        if cxx:
            src = plan.write(name + ".cpp", cxx_source(rng, kind == "gui"))
            compiler = f"{cc}-g++ -std=c++17"
        else:
            source = {"console": console_source, "gui": gui_source, "library": library_source,
                      "driver": driver_source}[kind](rng)
            src = plan.write(name + ".c", source)
            compiler = f"{cc}-gcc"
        options = [rng.choice(["-O0", "-O2", "-Os", "-O1"])]
        if rng.random() < 0.4:
            options.append("-s")
        options.append("-Wl,--no-insert-timestamp")
        commands = []
        if kind == "driver":
            entry = "DriverEntry" if bits == "64" else "_DriverEntry@8"
            options += ["-nostdlib", "-ffreestanding", "-fno-stack-protector",
                        "-Wl,--subsystem,native", f"-e {entry}"]
            if rng.random() < 0.5:
                options.append("-Wl,--image-base,0x10000")
            libs = "-lntoskrnl"
            out = f"mingw/driver/{name}.sys"
        else:
            options.append({"console": "-mconsole", "gui": "-mwindows", "library": "-shared"}[kind])
            if rng.random() < 0.3:
                options.append("-static-libgcc" + (" -static-libstdc++" if cxx else ""))
            elif cxx and rng.random() < 0.3:
                options.append("-static")
            libs = "-luser32" if kind == "gui" else ""
            out = f"mingw/{kind}/{name}." + ("dll" if kind == "library" else "exe")
            if rng.random() < 0.4:
                level = rng.choice(["asInvoker", "requireAdministrator", "highestAvailable"])
                manifest = plan.write(name + ".manifest", MANIFEST.format(level=level)) if rng.random() < 0.6 else ""
                rc = plan.write(name + ".rc", resource_script(rng, os.path.basename(out), manifest))
                res = os.path.join("src", name + ".res.o")
                commands.append(f"{cc}-windres {q(rc)} -O coff -o {q(res)}")
                libs = q(res) + " " + libs
        commands.append(f"{compiler} {' '.join(options)} -o @OUT@ {q(src)} {libs}")
        plan.add(out, kind, bits, "MinGW", commands, sign=n % 6 == 1 and kind != "driver")


def plan_nsis(plan, count):
    for n in range(count):
        rng = random.Random(f"{SEED}-nsis-{n}")
        name = f"setup{n:03d}"
        payloads = []
        for p in range(rng.randrange(1, 4)):
            data = rng.randbytes(rng.randrange(512, 48 << 10)) if rng.random() < 0.4 else \
                (" ".join(rng.choice(WORDS) for _ in range(rng.randrange(50, 5000)))).encode()
            path = os.path.join(plan.src, f"{name}-payload{p}.dat")
            with open(path, "wb") as f:
                f.write(data)
            # The installer keeps each file's time: a fixed one keeps it the same from run to run.
            os.utime(path, (FIXED_TIME, FIXED_TIME))
            payloads.append(os.path.relpath(path, plan.out))
        level = rng.choice(["admin", "user", "highest", None])
        lines = [f"Unicode {rng.choice(['true', 'false'])}",
                 f"SetCompressor {rng.choice(['', '/SOLID '])}{rng.choice(['zlib', 'bzip2', 'lzma'])}",
                 f'Name "{rng.choice(WORDS).title()} {n}"',
                 f'OutFile "{plan.build_path(f"nsis/{name}.exe", n % 5 == 2)}"',
                 f'InstallDir "$PROGRAMFILES\\{rng.choice(WORDS).title()}{n}"']
        if level:
            lines.append(f"RequestExecutionLevel {level}")
        if rng.random() < 0.5:
            lines += [f'VIProductVersion "1.{n % 10}.0.{n}"', f'VIAddVersionKey "ProductName" "{name}"',
                      f'VIAddVersionKey "FileVersion" "1.{n % 10}"']
        lines += ["Page directory", "Page instfiles", 'Section "Main"', "  SetOutPath $INSTDIR"]
        lines += [f'  File "{p}"' for p in payloads]
        uninstaller = rng.random() < 0.5
        if uninstaller:
            lines += ['  WriteUninstaller "$INSTDIR\\uninstall.exe"', "SectionEnd",
                      'Section "Uninstall"', '  Delete "$INSTDIR\\uninstall.exe"', '  RMDir "$INSTDIR"']
        lines.append("SectionEnd")
        script = plan.write(name + ".nsi", "\n".join(lines) + "\n")
        plan.add(f"nsis/{name}.exe", "installer", "32", "NSIS",
                 [f"makensis -V1 -NOCD {q(script)} >/dev/null"], sign=n % 5 == 2)


def dotnet_source(rng, target):
    classes = []
    for c in range(rng.randrange(1, 12)):
        fields = "".join(f"  public int F{k} = {rng.randrange(1000)};\n" for k in range(rng.randrange(1, 6)))
        classes.append(f"public class {rng.choice(WORDS).title()}{c} {{\n{fields}"
                       f"  public int Sum() {{ return F0 * {rng.randrange(2, 9)} + \"{rng.choice(WORDS)}\".Length; }}\n}}\n")
    main = ""
    if target != "library":
        first = classes[0].split()[2]
        main = ("public static class Program {\n  public static int Main(string[] args) {\n"
                f"    var x = new {first}();\n"
                + ("    System.Console.WriteLine(x.Sum());\n" if target == "exe" else "") +
                "    return args.Length + x.Sum() % 2;\n  }\n}\n")
    return "using System;\n" + "".join(classes) + main


def plan_dotnet(plan, count_each):
    for target, kind, ext in (("exe", "console", "exe"), ("winexe", "gui", "exe"), ("library", "library", "dll")):
        for n in range(count_each):
            rng = random.Random(f"{SEED}-dotnet-{target}-{n}")
            name = f"net{kind}{n:03d}"
            src = plan.write(name + ".cs", dotnet_source(rng, target))
            platform = ["anycpu", "x86", "x64", "anycpu"][n % 4]
            bits = "64" if platform == "x64" else "32"
            options = [f"-target:{target}", f"-platform:{platform}", rng.choice(["-optimize+", "-optimize-"])]
            if rng.random() < 0.3:
                options.append("-debug")
            plan.add(f"dotnet/{kind}/{name}.{ext}", kind, bits, ".NET",
                     [f"mcs -nologo {' '.join(options)} -out:@OUT@ {q(src)} >/dev/null && rm -f @OUT@.mdb"], sign=n % 4 == 3)


def plan_wine(plan, wine_dir, wanted):
    """A fixed sample of Wine's own PE files: sorted by name, every k-th."""
    found = {"console": [], "gui": [], "library": [], "driver": []}
    for arch, bits in (("x86_64-windows", "64"), ("i386-windows", "32")):
        folder = os.path.join(wine_dir, arch)
        if not os.path.isdir(folder):
            continue
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            ext = os.path.splitext(name)[1].lower()
            if ext not in (".exe", ".dll", ".sys") or os.path.getsize(path) > WINE_MAX_BYTES:
                continue
            info = corpus_pe.read_pe(path)
            if info is None:
                continue
            if ext == ".sys":
                kind = "driver"
            elif ext == ".dll":
                kind = "library"
            else:
                kind = {corpus_pe.SUBSYSTEM_CONSOLE: "console", corpus_pe.SUBSYSTEM_GUI: "gui"}.get(info["subsystem"])
                if kind is None:
                    continue
            found[kind].append((arch, bits, name, path))
    for kind, files in found.items():
        take = wanted.get(kind, 0)
        step = max(1, len(files) // take) if take else len(files) + 1
        for arch, bits, name, path in files[::step][:take]:
            rel = f"wine/{arch}/{name}"
            os.makedirs(os.path.dirname(os.path.join(plan.out, rel)), exist_ok=True)
            shutil.copyfile(path, os.path.join(plan.out, rel))
            plan.expected.append((rel, kind, bits, "Wine", "unsigned"))


def plan_all(out, wine_dir):
    plan = Plan(os.path.abspath(out))
    dotnet_each = 12
    wine = {"console": 20, "gui": 20, "library": 28, "driver": 17}
    plan_mingw(plan, "console", PER_KIND - dotnet_each - wine["console"])
    plan_mingw(plan, "gui", PER_KIND - dotnet_each - wine["gui"])
    plan_mingw(plan, "library", PER_KIND - dotnet_each - wine["library"])
    plan_mingw(plan, "driver", PER_KIND - 10)
    plan_nsis(plan, PER_KIND)
    plan_dotnet(plan, dotnet_each)
    plan_wine(plan, wine_dir, wine)
    with open(os.path.join(plan.out, "jobs.txt"), "w") as f:
        f.write("".join(job + "\n" for job in plan.jobs))
    with open(os.path.join(plan.out, "expected.tsv"), "w") as f:
        f.write("".join("\t".join(row) + "\n" for row in plan.expected))
    print(f"planned {len(plan.jobs)} builds and {len(plan.expected) - len(plan.jobs)} Wine files")


def disagreement(path, kind, bits, builder, signed):
    """Why the file's headers do not fit its label, or None when they do."""
    if not os.path.exists(path):
        return "was not built"
    info = corpus_pe.read_pe(path)
    if info is None:
        return "is not a PE file"
    seen = corpus_pe.header_kind(info)
    want = "gui" if kind == "installer" else kind
    if seen != want:
        return f"headers say {seen} (subsystem {info['subsystem']}, DLL flag {info['dll']})"
    if corpus_pe.header_bits(info) != bits:
        return f"headers say machine {info['machine']:#x}, PE32+ {info['pe32plus']}"
    if info["clr"] != (builder == ".NET"):
        return f"CLR header {'present' if info['clr'] else 'missing'}"
    if info["signed"] != (signed == "signed"):
        return f"certificate table {'present' if info['signed'] else 'missing'}"
    return None


def check(out):
    out = os.path.abspath(out)
    kept, dropped = [], 0
    with open(os.path.join(out, "expected.tsv")) as f:
        rows = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    for rel, kind, bits, builder, signed in rows:
        path = os.path.join(out, rel)
        why = disagreement(path, kind, bits, builder, signed)
        if why:
            print(f"dropped {rel} ({kind}, {bits}, {builder}): {why}")
            dropped += 1
        else:
            kept.append((path, kind, bits, builder))
    with open(os.path.join(out, "labels.tsv"), "w") as f:
        f.write("".join("\t".join(row) + "\n" for row in kept))
    print(f"labels.tsv: {len(kept)} files, {dropped} dropped")
    return kept


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "plan":
        plan_all(sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else "/usr/lib/x86_64-linux-gnu/wine")
    elif len(sys.argv) == 3 and sys.argv[1] == "check":
        check(sys.argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
