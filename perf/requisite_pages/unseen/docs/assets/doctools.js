document.documentElement.dataset.js = "1";
