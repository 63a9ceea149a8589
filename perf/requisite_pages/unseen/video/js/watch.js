document.getElementById("player").volume = 0.5;
