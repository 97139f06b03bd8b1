// The page tests' checks: each said as it is made ("ok: ..." or
// "FAILED: ... (detail)"), and a last line with the count, the exit code
// following it.
'use strict';
let passed = 0, failed = 0;

function Check(what, ok, detail = '') {
  console.log(`${ok ? 'ok' : 'FAILED'}: ${what}${ok || !detail ? '' : ` (${detail})`}`);
  ok ? ++passed : ++failed;
}

function EndChecks() {
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
}

const Sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

module.exports = {Check, EndChecks, Sleep};
