<%
Dim pageTitle, row, column, value
pageTitle = "A table of numbers"
%>
<!--#include file="inc/header.inc"-->
<table border="1" cellpadding="3">
<tr><th>Row</th><th>Units</th><th>Price</th><th>Amount</th><th>Share</th></tr>
<% For row = 1 To 100
     value = row * 37.25 %>
<tr><td><%= row %></td><td><%= FormatNumber(row * 3, 0) %></td><td><%= FormatNumber(value / 3, 2) %></td><td><%= FormatNumber(value * 1000, 2) %></td><td><%= FormatPercent(row / 5050, 2) %></td></tr>
<% Next %>
</table>
<!--#include file="inc/footer.inc"-->
