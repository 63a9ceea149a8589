export const cart = [];
