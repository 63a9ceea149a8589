window.Search = { index: null };
