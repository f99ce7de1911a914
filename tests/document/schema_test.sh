#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# What the writer writes, and the committed files, against the published schema.
#   schema_test.sh DESIGN_SAMPLES SOURCE_DIR
set -euo pipefail
samples=$1 source=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$samples" "$dir"
/usr/bin/python3 - "$source/packaging/padscreen-design.schema.json" "$dir"/*.padscreen \
    "$source"/tests/document/golden/v2/*.padscreen <<'PY'
import json, sys
from jsonschema import Draft202012Validator
schema = json.load(open(sys.argv[1]))
Draft202012Validator.check_schema(schema)
validator = Draft202012Validator(schema)
bad = 0
for path in sys.argv[2:]:
    for error in validator.iter_errors(json.load(open(path))):
        print(f"{path}: {'/'.join(map(str, error.absolute_path))}: {error.message}")
        bad += 1
print(f"{len(sys.argv) - 2} files checked, {bad} errors")
sys.exit(1 if bad or len(sys.argv) < 40 else 0)
PY
