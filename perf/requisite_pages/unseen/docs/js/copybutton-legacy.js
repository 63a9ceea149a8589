window.copyLegacy = true;
