// The files a JavaScript module makes a browser fetch before it runs: the specifiers of its
// static `import ... from "x"`, `import "x"` and `export ... from "x"` declarations. What
// the module fetches as it runs (`import("x")`, fetch(), ...) is the script's own doing and not
// read. The reader knows JavaScript's comments, strings, template literals and regular
// expression literals well enough to skip them; it is linear in the text's length.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace quorvel {

// The specifiers as written (escapes of the string literal decoded), in order, each once.
QList<QByteArray> ReadModuleImports(QByteArrayView js);

// Whether a browser resolves `specifier` as an address without an import map: an absolute URL,
// or one that starts with "/", "./" or "../". Bare names ("lodash") need a map.
bool IsAddressSpecifier(const QByteArray& specifier);

}  // namespace quorvel
