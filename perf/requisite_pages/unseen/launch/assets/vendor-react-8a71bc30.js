export const h = (t) => t;
