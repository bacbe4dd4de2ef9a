#!/bin/bash
# Tokenizes NUV2 scripts with the TextMate grammar through the vscode-textmate
# and vscode-oniguruma packages and fails on a script that ends inside an open
# region (comment, string, octet, regular expression, embedded expression):
# the sign of a construct that the grammar reads differently from the language.
# When they are missing from NODE_MODULES and npm is at hand, they are installed
# there first (into its parent folder, nothing saved elsewhere); without node, or
# when that install fails, the check reports itself skipped (exit status 77).
# Usage: check_textmate.sh NODE_MODULES GRAMMAR.json FILE...
# A FILE ending in .md stands for the ```nuv examples it holds.
set -u
if [ $# -lt 3 ]; then
  echo "usage: $0 NODE_MODULES GRAMMAR.json FILE..." >&2
  exit 2
fi
modules=$1
shift
if ! command -v node >/dev/null 2>&1; then
  echo "node is not installed: TextMate check skipped"
  exit 77
fi
have_packages() { [ -f "$modules/vscode-textmate/package.json" ] && [ -f "$modules/vscode-oniguruma/package.json" ]; }
if ! have_packages && command -v npm >/dev/null 2>&1; then
  # Quiet unless it fails; a failed install leaves the check skipped.
  prefix=$(dirname "$modules")
  mkdir -p "$prefix"
  if ! log=$(timeout 300 npm install --no-save --no-audit --no-fund --no-update-notifier --loglevel=error \
               --prefix "$prefix" vscode-textmate@9 vscode-oniguruma@2 2>&1); then
    printf '%s\n' "$log" | tail -n 5
  fi
fi
if ! have_packages; then
  echo "vscode-textmate or vscode-oniguruma missing in $modules (npm missing or its install failed): TextMate check skipped"
  exit 77
fi
node - "$modules" "$@" <<'SCRIPT'
const path = require('path');
const fs = require('fs');
const [modules, grammarFile, ...files] = process.argv.slice(2);
const vsctm = require(path.resolve(modules, 'vscode-textmate'));
const onig = require(path.resolve(modules, 'vscode-oniguruma'));
(async () => {
  await onig.loadWASM(fs.readFileSync(path.join(modules, 'vscode-oniguruma/release/onig.wasm')).buffer);
  const registry = new vsctm.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: patterns => new onig.OnigScanner(patterns),
      createOnigString: text => new onig.OnigString(text),
    }),
    loadGrammar: async () => vsctm.parseRawGrammar(fs.readFileSync(grammarFile, 'utf8'), grammarFile),
  });
  const grammar = await registry.loadGrammar('source.nuv');
  let problems = 0;
  // A page contributes each of its ```nuv blocks as one script.
  const scripts = [];
  for (const file of files) {
    const lines = fs.readFileSync(file, 'utf8').replace(/\r/g, '').split('\n');
    if (!file.endsWith('.md')) { scripts.push({ name: file, lines }); continue; }
    let block = null;
    lines.forEach((line, i) => {
      if (block === null && /^```nuv\s*$/.test(line)) block = { name: `${file}:${i + 1}`, lines: [] };
      else if (block !== null && /^```\s*$/.test(line)) { scripts.push(block); block = null; }
      else if (block !== null) block.lines.push(line);
    });
  }
  for (const script of scripts) {
    let stack = vsctm.INITIAL;
    for (const line of script.lines) stack = grammar.tokenizeLine(line, stack).ruleStack;
    let depth = 0;
    for (let s = stack; s && s.parent; s = s.parent) depth++;
    if (depth > 0) {
      console.log(`${script.name}: ends inside an open region`);
      problems++;
    }
  }
  console.log(`${scripts.length} scripts, ${problems} problems`);
  process.exit(problems ? 1 : 0);
})().catch(e => { console.log(e.stack); process.exit(1); });
SCRIPT
