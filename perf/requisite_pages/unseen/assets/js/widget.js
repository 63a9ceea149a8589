window.widgetReady = true;
