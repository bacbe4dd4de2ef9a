#!/bin/bash
# Checks the TextMate grammar: valid JSON, the expected top-level scopes, every
# "#name" include defined, every pattern compilable. Needs node; without it the
# check reports itself skipped (exit status 77).
# Usage: check_grammar.sh GRAMMAR.json
set -u
if [ $# -ne 1 ]; then
  echo "usage: $0 GRAMMAR.json" >&2
  exit 2
fi
if ! command -v node >/dev/null 2>&1; then
  echo "node is not installed: grammar check skipped"
  exit 77
fi
node - "$1" <<'SCRIPT'
const fs = require('fs');
const file = process.argv[2];
let grammar;
try {
  grammar = JSON.parse(fs.readFileSync(file, 'utf8'));
} catch (e) {
  console.log(`${file}: ${e.message}`);
  process.exit(1);
}
const problems = [];
if (grammar.scopeName !== 'source.nuv') problems.push('scopeName is not source.nuv');
if (!(grammar.fileTypes || []).includes('nuv')) problems.push('fileTypes lacks nuv');
const repository = grammar.repository || {};
const expected = ['comments', 'block-comment', 'strings', 'embeddable-strings', 'octets',
                  'regexps', 'numbers', 'keywords', 'constants', 'operators'];
const topLevel = (grammar.patterns || []).map(p => p.include);
for (const name of expected) {
  if (!repository[name]) problems.push(`repository lacks ${name}`);
}
for (const name of ['comments', 'strings', 'embeddable-strings', 'octets', 'regexps', 'numbers', 'keywords']) {
  if (!topLevel.includes('#' + name)) problems.push(`top level does not include #${name}`);
}
// Oniguruma syntax that JavaScript lacks is kept out of the grammar, so each
// pattern must also compile as a JavaScript regular expression.
function visit(rule, where) {
  if (Array.isArray(rule)) { rule.forEach((r, i) => visit(r, `${where}[${i}]`)); return; }
  if (!rule || typeof rule !== 'object') return;
  for (const key of ['match', 'begin', 'end']) {
    if (key in rule) {
      try { new RegExp(rule[key]); } catch (e) { problems.push(`${where}.${key}: ${e.message}`); }
    }
  }
  if (typeof rule.include === 'string' && rule.include.startsWith('#') &&
      !(rule.include.slice(1) in repository)) problems.push(`${where}: undefined ${rule.include}`);
  if ((rule.begin === undefined) !== (rule.end === undefined)) problems.push(`${where}: begin without end`);
  for (const [key, value] of Object.entries(rule)) {
    if (typeof value === 'object') visit(value, `${where}.${key}`);
  }
}
visit(grammar.patterns, 'patterns');
visit(repository, 'repository');
for (const p of problems) console.log(`${file}: ${p}`);
console.log(problems.length ? 'grammar check failed' : 'grammar check passed');
process.exit(problems.length ? 1 : 0);
SCRIPT
