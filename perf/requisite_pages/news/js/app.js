document.title += "";
