document.querySelectorAll('.thumbs img').forEach(function (img) {
  img.addEventListener('click', function () { img.parentNode.classList.toggle('active'); });
});
