import { h } from "./vendor-react-8a71bc30.js";
import { route } from "./router-1d0e55af.js";
route(h);
fetch("/unseen/launch/api/pricing.json").then(function (r) { return r.ok ? r.json() : null; }).catch(function () {});
