import "./clipboard.mjs"; document.body.dataset.copy = "1";
