#!/usr/bin/env python3
"""Checks that the project's dependencies point one way.

    scripts/check-layers.py [--root DIR] [--build DIR]

Layers, from the top: the application (src/app) and the tools; the dialog libraries (a
feature's ui/ folder); vendorui and the widget-free models (logo, mfp); comm and platform;
the texts. Over every #include "..." line of src/ and tools/ and every
target_link_libraries() of their CMake files:
  - a folder includes and links only what its row below allows;
  - no feature folder (logo, mfp, clock) includes another;
  - a ui/ folder may include its own model; a model never includes its ui/ folder, nor any
    widget code (platform/ui, vendorui, Qt Widgets);
  - the command line and the simulator include and link no widget code.
With --build, also checks that quorvelctl and quorvel-vendorsim in DIR/bin do not load
libQt6Widgets (ldd). Prints each broken rule and exits 1 when there is one.
"""
import argparse
import os
import re
import subprocess
import sys

WIDGETS_QT = ("QApplication", "QWidget", "QDialog", "QMessageBox", "QComboBox", "QLineEdit",
              "QLabel", "QPushButton", "QTreeWidget", "QFileDialog", "QStyle", "QtWidgets")

# Folder (relative to the root) -> the project folders its files may include. A folder
# always may include itself. Longest matching prefix wins.
ALLOWED = {
    "src/texts": [],
    "src/platform": ["src/texts"],
    "src/platform/ui": ["src/platform", "src/texts"],
    "src/comm": ["src/texts"],
    "src/vendorui": ["src/comm", "src/platform", "src/platform/ui", "src/texts"],
    "src/logo": ["src/platform", "src/comm", "src/texts"],
    "src/mfp": ["src/platform", "src/comm", "src/texts"],
    "src/clock": ["src/platform", "src/comm", "src/texts"],
    "src/logo/ui": ["src/logo", "src/vendorui", "src/platform", "src/platform/ui", "src/comm", "src/texts"],
    "src/mfp/ui": ["src/mfp", "src/vendorui", "src/platform", "src/platform/ui", "src/comm", "src/texts"],
    "src/clock/ui": ["src/clock", "src/vendorui", "src/platform", "src/platform/ui", "src/comm", "src/texts"],
    "src/app": ["src/*"],
    "tools/quorvelctl": ["src/logo", "src/mfp", "src/platform", "src/comm", "src/texts"],
    "tools/vendorsim": ["src/comm", "src/platform", "src/texts"],
    "tools/screenshots": ["src/*", "tools/vendorsim"],
}
# Folders whose code must not use widgets at all.
WIDGET_FREE = ["src/texts", "src/platform", "src/comm", "src/logo", "src/mfp", "src/clock",
               "tools/quorvelctl", "tools/vendorsim"]

# Library -> its layer folder; target_link_libraries is checked against ALLOWED too.
LIBRARY_FOLDER = {
    "quorvel_texts": "src/texts",
    "quorvel_platform": "src/platform",
    "quorvel_platform_ui": "src/platform/ui",
    "quorvel_comm": "src/comm",
    "quorvel_vendorui": "src/vendorui",
    "quorvel_logo": "src/logo",
    "quorvel_logo_ui": "src/logo/ui",
    "quorvel_mfp": "src/mfp",
    "quorvel_mfp_ui": "src/mfp/ui",
    "quorvel_clock_ui": "src/clock/ui",
    "quorvel_app": "src/app",
    "quorvel_vendorsim_core": "tools/vendorsim",
}


def folder_rule(folder):
    """The ALLOWED key that governs `folder` (longest prefix), or None."""
    best = None
    for key in ALLOWED:
        if folder == key or folder.startswith(key + "/"):
            if best is None or len(key) > len(best):
                best = key
    return best


def widget_free(folder):
    rule = folder_rule(folder)
    return rule in WIDGET_FREE


def may_use(rule, target_folder):
    """True when code governed by `rule` may include or link code of `target_folder`."""
    target_rule = folder_rule(target_folder) or target_folder
    if target_rule == rule:
        return True
    for allowed in ALLOWED[rule]:
        if allowed == "src/*":
            if target_rule.startswith("src/"):
                return True
        elif target_rule == allowed:
            return True
    return False


def check_includes(root, problems):
    include = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
    for top in ("src", "tools"):
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, root)
                folder = os.path.dirname(rel)
                rule = folder_rule(folder)
                if rule is None:
                    continue
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = include.match(line)
                        if not m:
                            continue
                        kind, header = m.groups()
                        where = f"{rel}:{number}"
                        if kind == "<":
                            base = header.split("/")[-1]
                            if widget_free(folder) and (base in WIDGETS_QT or header.startswith("QtWidgets")):
                                problems.append(f"{where}: widget-free code includes <{header}>")
                            continue
                        target = project_header(root, folder, header)
                        if target is None:
                            continue  # generated text catalogue or a local header
                        target_folder = os.path.dirname(target)
                        if not may_use(rule, target_folder):
                            problems.append(f"{where}: {rule} may not include {header}")


def project_header(root, folder, header):
    """Where a quoted include resolves inside the project, relative to the root."""
    if header.startswith("texts/"):
        return "src/texts/" + header[len("texts/"):]
    for base in ("src", "tools", folder):
        candidate = os.path.normpath(os.path.join(base, header))
        if os.path.exists(os.path.join(root, candidate)):
            return candidate
    return None


def check_links(root, problems):
    call = re.compile(r"target_link_libraries\s*\(([^)]*)\)", re.S)
    for top in ("src", "tools"):
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            if "CMakeLists.txt" not in files:
                continue
            path = os.path.join(dirpath, "CMakeLists.txt")
            rel_dir = os.path.relpath(dirpath, root)
            with open(path, encoding="utf-8") as f:
                text = re.sub(r"#[^\n]*", "", f.read())
            for m in call.finditer(text):
                words = m.group(1).split()
                if not words:
                    continue
                target, libs = words[0], words[1:]
                folder = LIBRARY_FOLDER.get(target, rel_dir)
                rule = folder_rule(folder)
                if rule is None:
                    continue
                for lib in libs:
                    if lib in ("PUBLIC", "PRIVATE", "INTERFACE"):
                        continue
                    where = f"{os.path.relpath(path, root)}: {target}"
                    if lib == "Qt6::Widgets" and widget_free(folder):
                        problems.append(f"{where} is widget-free but links Qt6::Widgets")
                    elif lib in LIBRARY_FOLDER and not may_use(rule, LIBRARY_FOLDER[lib]):
                        problems.append(f"{where} ({rule}) may not link {lib}")


def check_binaries(build, problems):
    for exe in ("quorvelctl", "quorvel-vendorsim"):
        path = os.path.join(build, "bin", exe)
        if not os.path.exists(path):
            problems.append(f"{path}: not built")
            continue
        out = subprocess.run(["ldd", path], capture_output=True, text=True).stdout
        if "libQt6Widgets" in out:
            problems.append(f"{exe} loads libQt6Widgets")


def main():
    parser = argparse.ArgumentParser(description="Checks that dependencies point one way.")
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    parser.add_argument("--build")
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    problems = []
    check_includes(root, problems)
    check_links(root, problems)
    if args.build:
        check_binaries(args.build, problems)
    for p in problems:
        print(f"layers: {p}", file=sys.stderr)
    if problems:
        return 1
    print("layers: every dependency points one way")
    return 0


if __name__ == "__main__":
    sys.exit(main())
