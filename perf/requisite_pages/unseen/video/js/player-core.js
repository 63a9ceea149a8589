window.Player = { ready: false };
