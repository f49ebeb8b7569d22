<%
Dim pageTitle, total, count
pageTitle = "An error page"
%>
<!--#include file="inc/header.inc"-->
<p>This page divides by zero on purpose, to show how a script error is reported:</p>
<%
total = 100
count = 0
Response.Write total / count
%>
<!--#include file="inc/footer.inc"-->
