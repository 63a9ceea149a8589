// What a module makes a browser fetch before it runs: its static imports and re-exports, not
// what looks like them inside strings, comments, templates, regular expressions or expressions.
#include <gtest/gtest.h>

#include "bench/module_imports.h"

namespace quorvel {
namespace {

TEST(ModuleImports, StaticDeclarationsOnly) {
  const struct {
    const char* js;
    QList<QByteArray> imports;
  } cases[] = {
      {"import a from './a.js';\nimport {b, c as d} from \"./b.js\"\nimport * as e from '../e.js'",
       {"./a.js", "./b.js", "../e.js"}},
      {"import './side.js'; import x, {y} from '/abs.js'", {"./side.js", "/abs.js"}},
      // Minified, no spaces; a re-export of each kind; one file named twice.
      {"import{a as b}from\"./vendor-3f2a.js\";export*from\"./re.js\";export{c}from'./c.js';"
       "import\"./vendor-3f2a.js\"",
       {"./vendor-3f2a.js", "./re.js", "./c.js"}},
      // Line ends where a semicolon would be.
      {"export { a }\nimport './after.js'", {"./after.js"}},
      // Dynamic import, import.meta, a property, an object key: expressions, not declarations.
      {"const m = import('./lazy.js'); import.meta.url; obj.import('./no.js'); "
       "x = {import: './no2.js'}",
       {}},
      // Declarations that name no file.
      {"export const a = './no.js'; export default './no2.js'; export function f() {}", {}},
      // Look-alikes in comments, strings, templates and regular expressions.
      {"// import './c1.js'\n/* import './c2.js' */ const s = \"import './s.js'\";"
       "const t = `import ${\"x\"} from './t.js'`; const r = /import '.\\/r.js'/g;"
       "import './real.js'",
       {"./real.js"}},
      // A division is no regular expression; a brace inside a template's expression.
      {"const q = a / 2; const t = `${ {a: 1}.a }`; import './after-template.js'",
       {"./after-template.js"}},
      {"import {x} from 'lodash'", {"lodash"}},
      {"import 'unterminated", {"unterminated"}},
      {"import", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadModuleImports(c.js), c.imports) << c.js;
}

TEST(ModuleImports, AddressSpecifiers) {
  for (const char* yes : {"/a.js", "./a.js", "../a.js", "https://cdn.example/a.js", "data:x"})
    EXPECT_TRUE(IsAddressSpecifier(yes)) << yes;
  for (const char* no : {"lodash", "@scope/pkg", "a/b.js", "", ":x", "1http://x"})
    EXPECT_FALSE(IsAddressSpecifier(no)) << no;
}

}  // namespace
}  // namespace quorvel
