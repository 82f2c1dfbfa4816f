// The Steps view's plan of an echo, away from the page: an echo of
// megabytes takes a moment to scan, and the page must never wait for it.
import { planSteps } from './steps.js';

onmessage = ({ data: { echo, warned } }) => postMessage(planSteps(echo, warned));
