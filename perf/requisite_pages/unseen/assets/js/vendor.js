/* a small framework bundle */
window.Northfield = { version: '3.2.1' };
