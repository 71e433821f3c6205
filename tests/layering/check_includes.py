#!/usr/bin/env python3
"""Compiles each probe (lines "source|module|header|refused or allowed") with its command from
compile_commands.json, syntax only. A refused header exists in the source tree, so "No such
file or directory" can only mean that the module lacks its include root."""
import json
import os
import shlex
import subprocess
import sys

commands_file, probes_file, source_dir = sys.argv[1:4]
commands = {c["file"]: c for c in json.load(open(commands_file))}
outputs = ("-o", "-MT", "-MF", "-MQ")
wrong = 0
for line in open(probes_file).read().split():
    source, module, header, expected = line.split("|")
    if not os.path.isfile(os.path.join(source_dir, "src", header)):
        sys.exit(f"{header} is not a header of the tree")
    words = shlex.split(commands[source]["command"])
    # Only the verdict is wanted: no object or dependency file.
    args = [w for prev, w in zip([""] + words, words)
            if w not in outputs and prev not in outputs and w not in ("-c", "-MD", "-MMD")]
    run = subprocess.run(args + ["-fsyntax-only"], cwd=commands[source]["directory"],
                         capture_output=True, text=True)
    missing = f"{header}: No such file or directory" in run.stderr
    ok = run.returncode == 0 if expected == "allowed" else run.returncode != 0 and missing
    print(f"{module} {'may' if expected == 'allowed' else 'may not'} include {header}:",
          "as expected" if ok else f"WRONG (exit {run.returncode})\n{run.stderr}")
    wrong += not ok
sys.exit(1 if wrong else 0)
