// Checks a HAR file against the HAR 1.2 schema with the npm package har-validator.
//
//   node validate_har.js NPM_DIR FILE
//
// NPM_DIR is the folder that scripts/install-npm.sh installed into. Prints "valid" and exits
// with 0, or prints each complaint of the validator on a line of its own and exits with 1.
'use strict';
const fs = require('fs');
const path = require('path');

const validator = require(path.resolve(process.argv[2], 'node_modules', 'har-validator'));
let har;
try {
  har = JSON.parse(fs.readFileSync(process.argv[3], 'utf8'));
} catch (e) {
  console.log(`not JSON: ${e.message}`);
  process.exit(1);
}
validator
  .har(har)
  .then(() => console.log('valid'))
  .catch((e) => {
    for (const err of e.errors || [e]) {
      console.log(`${err.dataPath || ''} ${err.message}`.trim());
    }
    process.exit(1);
  });
