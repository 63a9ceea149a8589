export const route = (h) => h("home");
