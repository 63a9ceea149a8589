window.consent = { analytics: false };
