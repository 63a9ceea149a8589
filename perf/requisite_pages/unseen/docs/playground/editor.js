window.editorReady = true;
